#include "platform/platformsecimi.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

int sonlandirmaBorusu[2] = {-1, -1};

void sonlandirmaSinyali(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(sonlandirmaBorusu[1], &c, 1);
}

} // namespace

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
    app.setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
    // The program ends through its menu or when its clock is closed, never because a window went away.
    app.setQuitOnLastWindowClosed(false);

    if (platform::kisitliPlatform(QGuiApplication::platformName())) {
        std::fputs(platform::kisitlamaMesaji().toUtf8().append('\n').constData(), stderr);
        std::fflush(stderr);
    }

    // A logout or a package upgrade ends the program with SIGTERM: it leaves its event loop as it does
    // when its clock is closed, with exit code 0. The handler only writes to a pipe; the loop reads it.
    if (::pipe(sonlandirmaBorusu) == 0) {
        auto *notifier = new QSocketNotifier(sonlandirmaBorusu[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
        struct sigaction sa {};
        sa.sa_handler = sonlandirmaSinyali;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
    }

    Baslangic baslangic;
    baslangic.Form_Load();
    return app.exec();
}
