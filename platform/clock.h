#pragma once

#include <QTime>

namespace platform {

// The local time of day. Tests install a clock of their own.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QTime currentTime() const = 0;

    static const Clock &instance();
    // nullptr restores the system clock; the caller keeps ownership.
    static void install(const Clock *clock);
};

class SystemClock : public Clock
{
public:
    QTime currentTime() const override;
};

} // namespace platform
