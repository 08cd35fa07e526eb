#include "sound/soundgrid.h"

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

int64_t SoundGrid::place(int64_t askedUs, int64_t now, int rate)
{
    if (!valid() || askedUs - openedUs < 1000000 - windowUs) return now;
    int64_t at = frameFor(askedUs, now, rate);
    if (lastFrame >= 0 && at < lastFrame + rate) at = lastFrame + rate;
    lastFrame = at;
    return at;
}

} // namespace platform
