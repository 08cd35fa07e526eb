#pragma once

#include "sound/wavclip.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// What the audio callback plays: one clip at a time, each started at an exact frame of the stream and
// cut by the next one's start. The callback renders; the sound thread schedules.
class SoundMixer
{
public:
    using Steady = std::chrono::steady_clock;

    SoundMixer();

    // The audio callback: fills frames of 16-bit mono and counts them.
    void render(int16_t *out, int frames);

    // Starts clip at frame at (or at the next frame to render, if that one is past). A start cancels
    // the starts scheduled at or after its frame: the later request wins from its moment on. nullptr
    // stops the sound at that frame. Returns the frame it will start at.
    int64_t start(std::shared_ptr<const WavClip> clip, int64_t at);

    // Frames rendered so far: the stream position of the next frame to render.
    int64_t position() const;
    // Something is playing or scheduled.
    bool busy() const;
    // Frames still to play of what is playing and scheduled, counted from the position.
    int64_t framesLeft() const;
    // When the callback last ran (for telling a stalled device).
    Steady::time_point lastRender() const;
    // The frame the stream is at by the clock: the callback renders a buffer ahead as the previous one
    // runs out, so the first frame of its latest buffer is the one at hand when it ran.
    int64_t frameAt(Steady::time_point t, int rate) const;

    void reset();

private:
    struct Start
    {
        std::shared_ptr<const WavClip> clip;
        int64_t at;
    };

    mutable std::mutex m_lock;
    std::vector<Start> m_starts; // by frame
    std::shared_ptr<const WavClip> m_playing;
    size_t m_offset = 0;
    int64_t m_position = 0;
    int64_t m_lastBufferStart = 0;
    Steady::time_point m_lastBufferTime;
    std::atomic<Steady::rep> m_lastRender;
};

} // namespace platform
