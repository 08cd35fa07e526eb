#include "sound/sound.h"

#include "sound/audiodevice.h"
#include "sound/soundworker.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>

namespace platform {

SoundOutput &SoundOutput::instance()
{
    if (SoundOutput *output = installed()) return *output;
    // Made on first use and owned by the application, so it closes the device while Qt and SDL are
    // still up. A function-local static object would be destroyed after QApplication, at exit.
    static QPointer<SdlSound> standard;
    if (!standard) standard = new SdlSound(qApp);
    return *standard;
}

SdlSound::SdlSound(QObject *parent)
    : SdlSound(parent, std::make_unique<SdlAudioDevice>(QCoreApplication::applicationName().toUtf8()))
{}

SdlSound::SdlSound(QObject *parent, std::unique_ptr<AudioDevice> device)
    : QObject(parent), m_beep([] { QApplication::beep(); })
{
    // The worker's thread reports here; the report is delivered on this object's thread, and not at all
    // once it is gone.
    SoundWorker::Hooks hooks;
    hooks.missingClip = [this] {
        QMetaObject::invokeMethod(this, &SdlSound::missingClip, Qt::QueuedConnection);
    };
    m_worker = std::make_unique<SoundWorker>(std::move(device), std::move(hooks));
}

SdlSound::~SdlSound() = default;

void SdlSound::setBeeper(std::function<void()> beep)
{
    m_beep = std::move(beep);
}

bool SdlSound::deviceOpen() const
{
    return m_worker->deviceOpen();
}

bool SdlSound::idle() const
{
    return m_worker->idle();
}

void SdlSound::setIdleCloseDelay(int ms)
{
    m_worker->setIdleCloseDelay(ms);
}

void SdlSound::playOpening(const QString &path)
{
    m_worker->play(path, true, monotonicUs());
}

void SdlSound::play(const QString &path)
{
    m_worker->play(path, false, monotonicUs());
}

void SdlSound::prepare()
{
    m_worker->prepare();
}

void SdlSound::missingClip()
{
    if (m_beep) m_beep();
}

} // namespace platform
