// Speaks the current time through the program's own announcer and sound output, then exits.
// Prints the wall-clock moment of each start so that a recording can be lined up with it.
//
//     velmora_speak [--warm] [MS]
//
// --warm speaks twice: the first announcement opens the audio device, the second one starts 5.5 s
// later while the device is still open (it closes 3 s after the last clip), so it is measured
// without the sound server's start-up. MS is how long to stay after the last start (default 6000).
// Every play call is printed too ("play <epoch seconds> <path>"), so that the timers' share of an
// onset error can be told from the sound path's.
#include "announce/saatoku.h"
#include "sound/sound.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {
constexpr int ilkBaslangicMs = 300;
constexpr int ikinciBaslangicMs = 5500;

// The real sound output, with the moment of each call written down.
class KayitliSes : public platform::SoundOutput
{
public:
    void playOpening(const QString &path) override
    {
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        m_sdl.playOpening(path);
        yaz(t, path);
    }
    void play(const QString &path) override
    {
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        m_sdl.play(path);
        yaz(t, path);
    }

private:
    static void yaz(qint64 t, const QString &path)
    {
        std::printf("play %.3f %s\n", t / 1000.0, qPrintable(path));
        std::fflush(stdout);
    }
    platform::SdlSound m_sdl;
};

void baslat(SaatOku &okuyucu, const char *etiket)
{
    const qint64 t = QDateTime::currentMSecsSinceEpoch();
    okuyucu.saat_oku();
    std::printf("start %.3f %s %s\n", t / 1000.0,
                qPrintable(QDateTime::fromMSecsSinceEpoch(t).time().toString(QStringLiteral("HH:mm"))), etiket);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    KayitliSes ses;
    platform::SoundOutput::install(&ses);
    bool warm = false;
    int sureMs = 6000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--warm") == 0)
            warm = true;
        else
            sureMs = QString::fromLocal8Bit(argv[i]).toInt();
    }
    SaatOku okuyucu;
    int sonBaslangic = ilkBaslangicMs;
    QTimer::singleShot(ilkBaslangicMs, Qt::PreciseTimer, &app,
                       [&okuyucu, warm] { baslat(okuyucu, warm ? "warmup" : "cold"); });
    if (warm) {
        sonBaslangic += ikinciBaslangicMs;
        QTimer::singleShot(sonBaslangic, Qt::PreciseTimer, &app, [&okuyucu] { baslat(okuyucu, "warm"); });
    }
    QTimer::singleShot(sonBaslangic + sureMs, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    platform::SoundOutput::reset();
    return rc;
}
