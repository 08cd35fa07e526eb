#include "sound/soundmixer.h"

#include <algorithm>

namespace platform {

SoundMixer::SoundMixer()
    : m_lastBufferTime(Steady::now()), m_lastRender(m_lastBufferTime.time_since_epoch().count())
{
    m_starts.reserve(8);
}

void SoundMixer::render(int16_t *out, int frames)
{
    // Freed after the lock: a clip's memory goes back outside the section the sound thread waits on.
    std::shared_ptr<const WavClip> done[2];
    const Steady::time_point now = Steady::now();
    {
        std::lock_guard guard(m_lock);
        m_lastBufferStart = m_position;
        m_lastBufferTime = now;
        int i = 0;
        while (i < frames) {
            const int64_t now = m_position + i;
            if (!m_starts.empty() && m_starts.front().at <= now) {
                if (m_playing) done[0] = std::move(m_playing);
                m_playing = std::move(m_starts.front().clip);
                m_offset = 0;
                m_starts.erase(m_starts.begin());
                continue;
            }
            // Up to the next scheduled start, the end of the clip or the end of the buffer.
            int run = frames - i;
            if (!m_starts.empty()) run = int(std::min<int64_t>(run, m_starts.front().at - now));
            if (m_playing) {
                const size_t left = m_playing->samples.size() - m_offset;
                const int n = int(std::min<size_t>(size_t(run), left));
                std::copy_n(m_playing->samples.data() + m_offset, n, out + i);
                m_offset += size_t(n);
                i += n;
                if (m_offset >= m_playing->samples.size()) done[1] = std::move(m_playing);
                if (n == run) continue;
                run -= n;
            }
            std::fill_n(out + i, run, int16_t(0));
            i += run;
        }
        m_position += frames;
    }
    m_lastRender.store(now.time_since_epoch().count(), std::memory_order_relaxed);
}

int64_t SoundMixer::start(std::shared_ptr<const WavClip> clip, int64_t at)
{
    std::vector<Start> dropped;
    std::lock_guard guard(m_lock);
    at = std::max(at, m_position);
    const auto from = std::lower_bound(m_starts.begin(), m_starts.end(), at,
                                       [](const Start &s, int64_t f) { return s.at < f; });
    for (auto it = from; it != m_starts.end(); ++it)
        dropped.push_back(std::move(*it));
    m_starts.erase(from, m_starts.end());
    m_starts.push_back({std::move(clip), at});
    return at;
}

int64_t SoundMixer::position() const
{
    std::lock_guard guard(m_lock);
    return m_position;
}

bool SoundMixer::busy() const
{
    std::lock_guard guard(m_lock);
    return m_playing || !m_starts.empty();
}

int64_t SoundMixer::framesLeft() const
{
    std::lock_guard guard(m_lock);
    if (!m_starts.empty()) {
        const Start &last = m_starts.back();
        return last.at - m_position + (last.clip ? int64_t(last.clip->samples.size()) : 0);
    }
    return m_playing ? int64_t(m_playing->samples.size() - m_offset) : 0;
}

int64_t SoundMixer::frameAt(Steady::time_point t, int rate) const
{
    std::lock_guard guard(m_lock);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(t - m_lastBufferTime).count();
    return m_lastBufferStart + us * rate / 1000000;
}

SoundMixer::Steady::time_point SoundMixer::lastRender() const
{
    return Steady::time_point(Steady::duration(m_lastRender.load(std::memory_order_relaxed)));
}

void SoundMixer::reset()
{
    std::lock_guard guard(m_lock);
    m_starts.clear();
    m_playing.reset();
    m_offset = 0;
    m_position = 0;
    m_lastBufferStart = 0;
    m_lastBufferTime = Steady::now();
    m_lastRender.store(m_lastBufferTime.time_since_epoch().count(), std::memory_order_relaxed);
}

} // namespace platform
