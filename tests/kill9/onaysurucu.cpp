// Confirms the colour and the transparency dialog over and over, each a full store write and a
// rebuild of the clock, so that a test can kill the process at any moment of it.
//   onaysurucu N      - N confirms, alternating the two dialogs
//   onaysurucu yirtik - writes half a store in place and waits: what a torn file looks like
#include "dialogs/menu.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "mockclock.h"
#include "scopedcoloranswer.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSlider>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QByteArray arg = argc > 1 ? QByteArray(argv[1]) : QByteArray("100");
    if (arg == "yirtik") {
        // The checker's own proof: a plain overwrite cut off after its first half.
        QFile f(AyarDeposu::dosyaYolu());
        QFile eski(AyarDeposu::dosyaYolu());
        if (!eski.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray icerik = eski.readAll();
        eski.close();
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(icerik.left(icerik.size() / 2));
        f.flush();
        std::puts("hazir");
        std::fflush(stdout);
        pause();
        return 0;
    }
    const int adet = arg.toInt();

    MockClock saat(QTime(12, 0));
    int sorulan = 0;
    ScopedColorAnswer yanit([&sorulan] {
        ++sorulan;
        return QColor((sorulan * 37) & 0xFF, (sorulan * 91) & 0xFF, (sorulan * 53) & 0xFF);
    });
    Baslangic b;
    b.Form_Load();
    Menu &menu = *b.menu();
    std::puts("hazir");
    std::fflush(stdout);
    for (int i = 0; i < adet; ++i) {
        if (i % 2 == 0) {
            menu.color_Click();
            Renk *r = menu.renkPenceresi();
            r->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            r->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
            r->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
        } else {
            menu.seffaf_Click();
            Seffaflik *s = menu.seffaflikPenceresi();
            s->findChild<QSlider *>(QStringLiteral("Slider1"))->setValue(i % 256);
            s->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        }
        saat.advance(100);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    std::puts("bitti");
    return 0;
}
