#include "platform/clock.h"

namespace platform {

namespace {
const SystemClock systemClock;
} // namespace

QTime SystemClock::currentTime() const
{
    return QTime::currentTime();
}

QDateTime SystemClock::currentDateTime() const
{
    return QDateTime::currentDateTime();
}

const Clock &Clock::instance()
{
    if (const Clock *clock = installed())
        return *clock;
    return systemClock;
}

} // namespace platform
