#pragma once

#include "sound/sound.h"

#include <QElapsedTimer>
#include <QList>

class MockClock;

// Stands in for the sound card for its lifetime: notes what was played, and when: by the mock clock,
// or without one in real milliseconds since the recorder was made.
class RecordingSound : public platform::SoundOutput
{
public:
    explicit RecordingSound(const MockClock *clock);
    ~RecordingSound() override;

    struct Played
    {
        qint64 at;
        QString path;
    };
    void play(const QString &path) override;
    QList<Played> played;

private:
    const MockClock *m_clock;
    QElapsedTimer m_real;
};
