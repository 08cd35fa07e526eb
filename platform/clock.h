#pragma once

#include "platform/replaceable.h"

#include <QTime>

namespace platform {

// The local time of day. Tests install a clock of their own.
class Clock : public Replaceable<Clock>
{
public:
    virtual ~Clock() = default;
    virtual QTime currentTime() const = 0;

    // The installed clock, else the system's.
    static const Clock &instance();
};

class SystemClock : public Clock
{
public:
    QTime currentTime() const override;
};

} // namespace platform
