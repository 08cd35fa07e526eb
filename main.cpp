#include "platform/platformsecimi.h"
#include "platform/singleinstance.h"
#include "platform/terminationsignal.h"
#include "platform/widgets.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    // The platform is chosen before the application exists; the program reads no options of its own,
    // so the choice goes to Qt as its -platform argument and leaves the environment of launched programs alone.
    std::vector<char *> argumanlar(argv, argv + argc);
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

    // One clock per display: a second start calls the running clock back to its corner and ends.
    platform::SingleInstance tekSaat;
    if (!tekSaat.claim())
        return 0;

    if (platform::kisitliPlatform(QGuiApplication::platformName())) {
        std::fputs(platform::kisitlamaMesaji().toUtf8().append('\n').constData(), stderr);
        std::fflush(stderr);
    }

    platform::exitOnTerminationSignal();

    Baslangic baslangic;
    QObject::connect(&tekSaat, &platform::SingleInstance::activationRequested, &baslangic,
                     &Baslangic::saatiEtkinlestir);
    baslangic.Form_Load();
    return app.exec();
}
