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
    // On a fixed first day, the days following as the time of day turns.
    QDateTime currentDateTime() const override;
    qint64 sinceBoot() const override { return m_now; }
    // Milliseconds since the clock was made.
    qint64 elapsed() const { return m_now; }
    // Moves the time of day without firing anything, as a clock adjustment would.
    void setTime(QTime time);
    // Moves time forward, firing each timer at the moment it falls due, in order.
    void advance(int ms);
    // The program is held for ms (a frozen desktop, a stopped process): nothing fires meanwhile,
    // then every timer that fell due fires once at the moment it resumes, in the order they fell due.
    void stall(int ms);
    int armedTimers() const { return int(m_due.size()); }

    void arm(platform::WindowTimer *timer, int ms) override;
    void disarm(platform::WindowTimer *timer) override;
    int remaining(const platform::WindowTimer *timer) const override;

private:
    platform::WindowTimer *earliestDue(qint64 until) const;
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
