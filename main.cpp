#include "platform/platformsecimi.h"
#include "platform/singleinstance.h"
#include "platform/terminationsignal.h"
#include "platform/widgets.h"
#include "startup/baslangic.h"
#include "startup/komutsatiri.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    // Our own options first, before anything touches the display or a running clock.
    KomutSatiri komut = KomutSatiri::oku(argc, argv);
    if (komut.is == KomutSatiri::Is::Yardim) {
        std::fputs(KomutSatiri::kullanim().toUtf8().constData(), stdout);
        return 0;
    }
    if (komut.is == KomutSatiri::Is::Hata) {
        std::fputs(komut.hata.toUtf8().append('\n').constData(), stderr);
        return 2;
    }

    // One clock per display: a later start hands its request to the running clock and ends. This is
    // asked before Qt starts, so that "--oku" reaches the clock at once.
    using Istek = platform::SingleInstance::Request;
    const bool oku = komut.is == KomutSatiri::Is::Oku;
    platform::SingleInstance tekSaat;
    if (!tekSaat.claim(oku ? Istek::Speak : Istek::ComeForward, komut.xEkrani))
        return 0;

    // The platform is chosen before the application exists; it goes to Qt as its -platform argument
    // and leaves the environment of launched programs alone.
    std::vector<char *> argumanlar = komut.qtIcin;
    const QByteArray platformAdi = platform::platformSec(platform::Oturum::ortamdan());
    char platformSecenegi[] = "-platform";
    if (!platformAdi.isEmpty()) {
        argumanlar.push_back(platformSecenegi);
        argumanlar.push_back(const_cast<char *>(platformAdi.constData()));
    }
    int argumanSayisi = int(argumanlar.size());
    argumanlar.push_back(nullptr);

    QApplication app(argumanSayisi, argumanlar.data());
    app.setApplicationName(QStringLiteral("Velmora"));
    app.setOrganizationName(QStringLiteral("Orlenbay"));
    app.setDesktopFileName(QStringLiteral("example.orlenbay.Velmora"));
    app.setWindowIcon(QIcon(platform::pngPixmap(QStringLiteral(":/velmora/velmora.png"))));
    // The program ends through its menu or when its clock is closed, never because a window went away.
    app.setQuitOnLastWindowClosed(false);

    if (platform::kisitliPlatform(QGuiApplication::platformName())) {
        std::fputs(platform::kisitlamaMesaji().toUtf8().append('\n').constData(), stderr);
        std::fflush(stderr);
    }

    platform::exitOnTerminationSignal();

    Baslangic baslangic;
    QObject::connect(&tekSaat, &platform::SingleInstance::activationRequested, &baslangic,
                     &Baslangic::saatiEtkinlestir);
    QObject::connect(&tekSaat, &platform::SingleInstance::speakRequested, &baslangic, &Baslangic::saatiOku);
    baslangic.Form_Load();
    tekSaat.listen();
    // Started to speak: once the clock's window is up.
    if (oku)
        QMetaObject::invokeMethod(&baslangic, &Baslangic::saatiOku, Qt::QueuedConnection);
    return app.exec();
}
