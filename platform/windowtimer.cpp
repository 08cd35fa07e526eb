#include "platform/windowtimer.h"

namespace platform {

void TimerScheduler::fire(WindowTimer *timer)
{
    timer->fire();
}

WindowTimer::WindowTimer(QObject *parent, int interval, bool enabled)
    : QObject(parent), m_enabled(enabled)
{
    // Coarse timers may fire up to 5 % late; the clock and the announcer need their milliseconds.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WindowTimer::fire);
    setInterval(interval);
}

WindowTimer::~WindowTimer()
{
    if (TimerScheduler *scheduler = TimerScheduler::installed())
        scheduler->disarm(this);
}

void WindowTimer::setInterval(int ms)
{
    m_interval = ms > 0 ? ms : 0;
    m_firstPeriodPending = false;
    if (isRunning())
        restart(m_interval);
    else
        stop();
}

void WindowTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    m_firstPeriodPending = false;
    if (isRunning())
        restart(m_interval);
    else
        stop();
}

void WindowTimer::startWithFirstPeriod(int ms)
{
    if (!isRunning())
        return;
    m_firstPeriodPending = true;
    restart(ms > 0 ? ms : 1);
}

int WindowTimer::remainingTime() const
{
    if (!isRunning())
        return -1;
    if (TimerScheduler *scheduler = TimerScheduler::installed())
        return scheduler->remaining(this);
    return m_timer.remainingTime();
}

void WindowTimer::tickNow()
{
    if (!isRunning())
        return;
    m_firstPeriodPending = false;
    restart(m_interval);
    Q_EMIT timeout();
}

void WindowTimer::fire()
{
    if (!isRunning())
        return;
    if (m_firstPeriodPending || TimerScheduler::installed()) {
        m_firstPeriodPending = false;
        restart(m_interval);
    }
    Q_EMIT timeout();
}

void WindowTimer::restart(int period)
{
    if (TimerScheduler *scheduler = TimerScheduler::installed())
        scheduler->arm(this, period);
    else
        m_timer.start(period);
}

void WindowTimer::stop()
{
    if (TimerScheduler *scheduler = TimerScheduler::installed())
        scheduler->disarm(this);
    else
        m_timer.stop();
}

} // namespace platform
