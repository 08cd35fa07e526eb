#include "platform/soundgrid.h"

namespace platform {

int SoundGrid::second(int64_t askedUs) const
{
    if (!valid() || askedUs < openedUs) return 0;
    const int64_t since = askedUs - openedUs;
    const int64_t n = (since + 500000) / 1000000;
    const int64_t off = since - n * 1000000;
    if (n < 1 || off > windowUs || off < -windowUs) return 0;
    return int(n);
}

int64_t SoundGrid::frameFor(int64_t askedUs, int64_t now, int rate) const
{
    const int n = second(askedUs);
    if (n == 0) return now;
    const int64_t at = openedFrame + int64_t(n) * rate;
    return at >= now ? at : now;
}

} // namespace platform
