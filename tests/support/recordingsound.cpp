#include "recordingsound.h"

#include "mockclock.h"

RecordingSound::RecordingSound(const MockClock *clock) : m_clock(clock)
{
    m_real.start();
    platform::SoundOutput::install(this);
}

RecordingSound::~RecordingSound()
{
    platform::SoundOutput::install(nullptr);
}

void RecordingSound::play(const QString &path)
{
    played.append({m_clock ? m_clock->elapsed() : m_real.elapsed(), path});
}
