#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class AudioDevice;

// The sound side of the program: a thread of its own opens and closes the device, reads the clips
// and places them in the stream, so that a sound server or a clip that hangs never holds the caller.
// The thread runs only while there is something to do and ends once the device is closed.
class SoundWorker
{
public:
    struct Hooks
    {
        std::function<void()> missingClip; // a clip could not be played: the default sound stands in
    };

    SoundWorker(std::unique_ptr<AudioDevice> device, Hooks hooks);
    // Waits a moment for the thread to close the device; a thread stuck on a server is left behind.
    ~SoundWorker();

    // askedUs: the caller's monotonic clock when the clip was chosen (its timer's tick).
    void play(const QString &path, bool opening, int64_t askedUs);
    // Opens the device ahead of a likely announcement; it closes after the idle delay unless used.
    void prepare();
    void setIdleCloseDelay(int ms);
    bool deviceOpen() const;
    // Nothing queued and the device closed: the thread has ended (or is ending).
    bool idle() const;

    // Where the opening clip starts: this long after the frame at hand when it is placed, so that the
    // later clips, whose ticks may come a little late, still find their frame not yet rendered (the
    // callback renders a buffer ahead: with 256 frames a tick may come 10 ms late).
    static constexpr int openingLeadMs = 22;
    // A request older than this when the thread gets to it (the device hung meanwhile) is dropped.
    static constexpr int staleMs = 2000;

    struct State;

private:
    void post(bool isPlay, const QString &path, bool opening, int64_t askedUs);
    std::shared_ptr<State> m;
};

int64_t monotonicUs();

} // namespace platform
