#pragma once
#include <QObject>
#include <QString>
#include <functional>
namespace platform {
// The process's one sound output. play() returns at once; a new play replaces the sound still playing.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual void play(const QString &path) = 0;
    static SoundOutput &instance();          // the installed output, else the process's SdlSound
    static void install(SoundOutput *output); // tests install a recorder; nullptr restores the default
};
class SdlSound : public QObject, public SoundOutput {
    Q_OBJECT
public:
    explicit SdlSound(QObject *parent = nullptr);
    ~SdlSound() override;
    void play(const QString &path) override;
    void setBeeper(std::function<void()> beep); // default: QApplication::beep()
    bool deviceOpen() const;
    void setIdleCloseDelay(int ms);             // default 3000
};
}
