#pragma once

#include "platform/clock.h"
#include "platform/windowtimer.h"

#include <QHash>
#include <QTime>

// A clock that stands still until a test moves it, and drives every window timer from it.
// Installed for its lifetime; create it before the objects whose timers it should drive.
class MockClock : public platform::Clock, public platform::TimerScheduler
{
public:
    explicit MockClock(QTime start);
    ~MockClock() override;

    QTime currentTime() const override;
    // Milliseconds since the clock was made.
    qint64 elapsed() const { return m_now; }
    // Moves the time of day without firing anything, as a clock adjustment would.
    void setTime(QTime time);
    // Moves time forward, firing each timer at the moment it falls due, in order.
    void advance(int ms);
    int armedTimers() const { return int(m_due.size()); }

    void arm(platform::WindowTimer *timer, int ms) override;
    void disarm(platform::WindowTimer *timer) override;
    int remaining(const platform::WindowTimer *timer) const override;

private:
    struct Due
    {
        qint64 at;
        quint64 order;
    };
    QHash<platform::WindowTimer *, Due> m_due;
    qint64 m_base;
    qint64 m_now = 0;
    quint64 m_order = 0;
};
