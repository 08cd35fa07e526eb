#pragma once

#include "platform/replaceable.h"

#include <QObject>
#include <QTimer>

namespace platform {

class WindowTimer;

// Replaces real timers in tests, so that time can be stepped instead of waited for.
class TimerScheduler : public Replaceable<TimerScheduler>
{
public:
    virtual ~TimerScheduler() = default;
    virtual void arm(WindowTimer *timer, int ms) = 0;
    virtual void disarm(WindowTimer *timer) = 0;
    // Milliseconds until the armed timer falls due.
    virtual int remaining(const WindowTimer *timer) const = 0;

protected:
    // The armed period of a timer has run out.
    static void fire(WindowTimer *timer);
};

// A per-window timer: it ticks every interval while the interval is above 0 and it is enabled.
// Setting an interval above 0, also the one it has, restarts the count; 0 stops it.
class WindowTimer : public QObject
{
    Q_OBJECT
public:
    explicit WindowTimer(QObject *parent, int interval = 0, bool enabled = true);
    ~WindowTimer() override;

    int interval() const { return m_interval; }
    void setInterval(int ms);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    bool isRunning() const { return m_interval > 0 && m_enabled; }

    // Restarts the count with a first period of its own; the interval follows it.
    // Used to line a timer up with the turn of the clock's second.
    void startWithFirstPeriod(int ms);

    // Milliseconds until the next tick, -1 when it does not run.
    int remainingTime() const;
    // Ticks now instead of at the tick that was coming, and counts the interval from now: a timer
    // due within a few milliseconds of another can share that one's wake-up.
    void tickNow();

Q_SIGNALS:
    void timeout();

private:
    friend class TimerScheduler;
    void fire();
    void restart(int firstPeriod);
    void stop();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
    bool m_firstPeriodPending = false;
};

} // namespace platform
