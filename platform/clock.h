#pragma once

#include "platform/replaceable.h"

#include <QDateTime>
#include <QTime>

namespace platform {

// The local time of day. Tests install a clock of their own.
class Clock : public Replaceable<Clock>
{
public:
    virtual ~Clock() = default;
    virtual QTime currentTime() const = 0;
    // The local date and time, for what happens once a day.
    virtual QDateTime currentDateTime() const = 0;
    // Milliseconds on a clock that also runs while the program is stopped or the computer sleeps
    // (CLOCK_BOOTTIME); only the difference of two readings means anything.
    virtual qint64 sinceBoot() const = 0;

    // The installed clock, else the system's.
    static const Clock &instance();
};

class SystemClock : public Clock
{
public:
    QTime currentTime() const override;
    QDateTime currentDateTime() const override;
    qint64 sinceBoot() const override;
};

} // namespace platform
