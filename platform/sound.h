#pragma once
#include "platform/replaceable.h"

#include <QObject>
#include <QString>
#include <functional>

class QTimer;
struct Mix_Chunk;

namespace platform {
// The process's one sound output. play() returns at once; a new play replaces the sound still playing.
// Tests install a recorder of their own.
class SoundOutput : public Replaceable<SoundOutput>
{
public:
    virtual ~SoundOutput() = default;
    virtual void play(const QString &path) = 0;
    static SoundOutput &instance(); // the installed output, else the process's SdlSound
};

// Plays WAV files through SDL2_mixer on one channel. The audio device is opened at the first play and
// closed again once it has been idle for a while, so a silent clock does not keep an audio thread awake.
// Without a usable device it stays silent and tries again at the next play; a file that cannot be read
// stops the clip still playing and sounds the desktop beep instead.
class SdlSound : public QObject, public SoundOutput
{
    Q_OBJECT
public:
    explicit SdlSound(QObject *parent = nullptr);
    ~SdlSound() override;
    void play(const QString &path) override;
    void setBeeper(std::function<void()> beep); // default: QApplication::beep()
    bool deviceOpen() const;
    void setIdleCloseDelay(int ms); // default 3000

private:
    bool openDevice();
    void closeDevice();
    void dropChunk();
    void idleCheck();
    int chunkMs() const;

    std::function<void()> m_beep;
    QTimer *m_idleTimer;
    Mix_Chunk *m_chunk = nullptr;
    int m_idleCloseDelay = 3000;
    bool m_open = false;
    bool m_awaitingEnd = false;
};
} // namespace platform
