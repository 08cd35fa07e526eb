#include "recordingsound.h"

#include "mockclock.h"

RecordingSound::RecordingSound(const MockClock *clock) : m_clock(clock)
{
    m_real.start();
    install(this);
}

RecordingSound::~RecordingSound()
{
    reset();
}

void RecordingSound::play(const QString &path)
{
    played.append({m_clock ? m_clock->elapsed() : m_real.elapsed(), path});
}
