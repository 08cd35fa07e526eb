#include "platform/clock.h"

namespace platform {

namespace {
const SystemClock systemClock;
const Clock *installed = nullptr;
} // namespace

QTime SystemClock::currentTime() const
{
    return QTime::currentTime();
}

const Clock &Clock::instance()
{
    return installed ? *installed : systemClock;
}

void Clock::install(const Clock *clock)
{
    installed = clock;
}

} // namespace platform
