#pragma once
#include "platform/replaceable.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace platform {

class AudioDevice;
class SoundWorker;

// The process's one sound output. Every call returns at once; a new clip replaces the one playing.
// Tests install a recorder of their own.
class SoundOutput : public Replaceable<SoundOutput>
{
public:
    virtual ~SoundOutput() = default;
    // The opening clip of an announcement: the later clips are timed from it.
    virtual void playOpening(const QString &path) { play(path); }
    // A clip asked for by one of the announcement's ticks.
    virtual void play(const QString &path) = 0;
    // An announcement may come soon (the menu opens): get the output ready.
    virtual void prepare() {}
    static SoundOutput &instance(); // the installed output, else the process's SdlSound
};

// Plays WAV files through SDL2 on a thread of its own. Each clip of an announcement starts a whole
// number of seconds after the opening clip in the sound stream, to the frame, wherever within a tick's
// latitude its play call came. The device is opened at the first play or prepare and closed again once
// it has been idle for a while, so a silent clock does not keep an audio thread awake. Without a usable
// device it stays silent and tries again at the next play; a file that cannot be played stops the clip
// still playing and sounds the desktop beep instead.
class SdlSound : public QObject, public SoundOutput
{
    Q_OBJECT
public:
    explicit SdlSound(QObject *parent = nullptr);
    // With another device: tests.
    SdlSound(QObject *parent, std::unique_ptr<AudioDevice> device);
    ~SdlSound() override;
    void playOpening(const QString &path) override;
    void play(const QString &path) override;
    void prepare() override;
    void setBeeper(std::function<void()> beep); // default: QApplication::beep(), on this object's thread
    bool deviceOpen() const;
    // Every request handled and the device closed.
    bool idle() const;
    void setIdleCloseDelay(int ms); // default 3000

private:
    void missingClip();

    std::function<void()> m_beep;
    std::unique_ptr<SoundWorker> m_worker;
};
} // namespace platform
