#include "platform/clock.h"

#include <time.h>

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

qint64 SystemClock::sinceBoot() const
{
    timespec t{};
    clock_gettime(CLOCK_BOOTTIME, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

const Clock &Clock::instance()
{
    if (const Clock *clock = installed())
        return *clock;
    return systemClock;
}

} // namespace platform
