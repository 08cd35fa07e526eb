#include "mockclock.h"

namespace {
constexpr qint64 gun = 24LL * 3600 * 1000;
}

MockClock::MockClock(QTime start) : m_base(start.msecsSinceStartOfDay())
{
    platform::Clock::install(this);
    platform::TimerScheduler::install(this);
}

MockClock::~MockClock()
{
    platform::TimerScheduler::reset();
    platform::Clock::reset();
}

QTime MockClock::currentTime() const
{
    return QTime::fromMSecsSinceStartOfDay(int(((m_base + m_now) % gun + gun) % gun));
}

QDateTime MockClock::currentDateTime() const
{
    const qint64 ms = m_base + m_now;
    const qint64 gunler = ms >= 0 ? ms / gun : (ms - gun + 1) / gun;
    return QDateTime(QDate(2024, 1, 15).addDays(gunler), currentTime());
}

void MockClock::setTime(QTime time)
{
    m_base = time.msecsSinceStartOfDay() - m_now;
}

platform::WindowTimer *MockClock::earliestDue(qint64 until) const
{
    platform::WindowTimer *siradaki = nullptr;
    Due enErken{until + 1, 0};
    for (auto it = m_due.cbegin(); it != m_due.cend(); ++it) {
        const Due &d = it.value();
        if (d.at < enErken.at || (d.at == enErken.at && d.order < enErken.order)) {
            enErken = d;
            siradaki = it.key();
        }
    }
    return siradaki;
}

void MockClock::advance(int ms)
{
    const qint64 hedef = m_now + ms;
    while (platform::WindowTimer *siradaki = earliestDue(hedef)) {
        m_now = m_due.value(siradaki).at;
        m_due.remove(siradaki);
        fire(siradaki);
    }
    m_now = hedef;
}

void MockClock::stall(int ms)
{
    m_now += ms;
    // A timer armed by one that fires now falls due later, so this ends.
    while (platform::WindowTimer *siradaki = earliestDue(m_now)) {
        m_due.remove(siradaki);
        fire(siradaki);
    }
}

void MockClock::arm(platform::WindowTimer *timer, int ms)
{
    m_due.insert(timer, Due{m_now + ms, m_order++});
}

void MockClock::disarm(platform::WindowTimer *timer)
{
    m_due.remove(timer);
}

int MockClock::remaining(const platform::WindowTimer *timer) const
{
    const auto it = m_due.constFind(const_cast<platform::WindowTimer *>(timer));
    return it == m_due.cend() ? -1 : int(it->at - m_now);
}
