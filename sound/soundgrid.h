#pragma once

#include <cstdint>

namespace platform {

// The announcement's clips are a second apart, timed from its opening clip. The sound side knows the
// stream frame at which the opening clip started and the moment it was asked for, and puts a clip
// whose request falls near one of the following seconds at that second of the stream, to the frame.
struct SoundGrid
{
    static constexpr int64_t windowUs = 150000; // how far a tick may stray from its second

    int64_t openedUs = -1;   // when the opening clip was asked for (monotonic clock)
    int64_t openedFrame = 0; // where it starts in the stream
    int64_t lastFrame = -1;  // where the announcement's latest clip starts

    bool valid() const { return openedUs >= 0; }

    // The second (1, 2, ...) after the opening that a request at askedUs belongs to, or 0 when it is
    // not near any (it then starts at once).
    int second(int64_t askedUs) const;

    // Where a clip asked for at askedUs starts: on the grid at its second, else at frame now. A grid
    // frame already rendered is past: the clip starts at once too.
    int64_t frameFor(int64_t askedUs, int64_t now, int rate) const;

    // Where a clip of the announcement starts, noted as its latest: as frameFor, but never sooner than
    // a second after the clip before it. After a stall several clips fall due at once; each keeps its
    // turn and its second instead of the last one cancelling the others. A clip asked for within the
    // opening's first second is left over from an earlier start and starts at once, as before.
    int64_t place(int64_t askedUs, int64_t now, int rate);
};

} // namespace platform
