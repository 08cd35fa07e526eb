#pragma once

#include <QByteArray>

namespace platform {

class SoundMixer;

// An output that pulls its frames from a mixer (16-bit mono at WavClip::rate). Opened, checked and
// closed on the sound thread only: each of these may wait on a sound server.
class AudioDevice
{
public:
    virtual ~AudioDevice() = default;
    virtual bool open(SoundMixer &mixer) = 0;
    virtual void close() = 0;
    // False once the output was lost (the server went away); it must then be closed and opened anew.
    virtual bool alive() = 0;
    // The sound thread ends: what the library keeps for the calling thread goes, and with unload the
    // library itself (not while the program exits: its other threads may be ending it meanwhile).
    virtual void threadEnds(bool unload) { (void)unload; }
};

// The device of SDL2, loaded at its first open so that a clock that never speaks does not map it.
// Without a driver named in SDL_AUDIODRIVER it tries the sound servers' drivers in turn until one
// gives a device: PulseAudio, PipeWire, then ALSA and the rest.
class SdlAudioDevice : public AudioDevice
{
public:
    explicit SdlAudioDevice(QByteArray appName);
    ~SdlAudioDevice() override;
    bool open(SoundMixer &mixer) override;
    void close() override;
    bool alive() override;
    void threadEnds(bool unload) override;

    // Frames per callback buffer: 11.6 ms, the stream's own latency on a PulseAudio server.
    static constexpr int bufferFrames = 256;

private:
    bool openWith(const char *driver, SoundMixer &mixer);

    QByteArray m_appName;
    quint32 m_device = 0;
    int m_outputsAtOpen = 0;
    bool m_initialised = false;
};

} // namespace platform
