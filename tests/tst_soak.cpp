// Long use in one process: rebuilds of the clock, windows opened and closed, announcements.
// Whatever a round creates must be gone again when it ends; leaks of unparented memory are left to
// LeakSanitizer (this test runs in the sanitizer build too), Qt objects that stay parented are counted.
#include "about/hakkinda.h"
#include "about/yardim.h"
#include "announce/saatoku.h"
#include "clock/form1.h"
#include "clock/module1.h"
#include "dialogs/menu.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "dialogs/zamanlayici.h"
#include "helpers.h"
#include "mockclock.h"
#include "scopedcoloranswer.h"
#include "platform/windowtimer.h"
#include "recordingsound.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"
#include "stopwatch/krono.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {

struct Sayim
{
    int widget = 0;
    int ustPencere = 0;
    int baslangicAltlari = 0;
    int uygulamaAltlari = 0;
    int zamanlayici = 0;
    int kuruluZamanlayici = 0;

    bool operator==(const Sayim &) const = default;
};

char *toString(const Sayim &s)
{
    return qstrdup(QStringLiteral("widgets %1, top-level %2, under Baslangic %3, under qApp %4, "
                                  "window timers %5 (armed %6)")
                       .arg(s.widget)
                       .arg(s.ustPencere)
                       .arg(s.baslangicAltlari)
                       .arg(s.uygulamaAltlari)
                       .arg(s.zamanlayici)
                       .arg(s.kuruluZamanlayici)
                       .toUtf8()
                       .constData());
}

// Deletions queued by closed windows are carried out before anything is counted.
void silinenleriSil()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

Sayim say(const Baslangic &b, const MockClock &saat)
{
    silinenleriSil();
    Sayim s;
    s.widget = int(QApplication::allWidgets().size());
    const QWidgetList ust = QApplication::topLevelWidgets();
    s.ustPencere = int(ust.size());
    s.baslangicAltlari = int(b.findChildren<QObject *>().size());
    s.uygulamaAltlari = int(qApp->findChildren<QObject *>().size());
    s.zamanlayici = int(b.findChildren<platform::WindowTimer *>().size());
    for (QWidget *w : ust)
        s.zamanlayici += int(w->findChildren<platform::WindowTimer *>().size());
    s.kuruluZamanlayici = saat.armedTimers();
    return s;
}

QColor saatRengi(Form1 *f)
{
    return child<QLabel>(f, "saat")->palette().color(QPalette::WindowText);
}

// A colour of its own for each round, so that a rebuild that missed the store would show.
QColor renkNo(int i)
{
    return QColor((i * 37) & 0xFF, (i * 91) & 0xFF, (i * 53) & 0xFF);
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Every confirm syncs the store to disk; in memory the rounds take milliseconds, not a disk's
        // seek each. What is counted here does not depend on the medium.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable()) {
            m_depo.emplace(QStringLiteral("/dev/shm/velmora-soak-XXXXXX"));
            if (m_depo->isValid())
                qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_depo->path()));
        }
    }
    void init()
    {
        QFile::remove(AyarDeposu::dosyaYolu());
    }
    void cleanup()
    {
        silinenleriSil();
    }

    void saatYenidenKurma();
    void diyalogOnaylari();
    void pencereAcipKapama();
    void duyurular();

private:
    std::optional<QTemporaryDir> m_depo;
};

void TestSoak::saatYenidenKurma()
{
    MockClock saat(QTime(10, 0));
    Baslangic b;
    b.Form_Load();
    const Sayim once = say(b, saat);
    QPointer<Form1> onceki = b.form1();
    for (int i = 0; i < 500; ++i) {
        b.form1Kapat();
        b.ayarla();
        saat.advance(700); // the new clock's timers tick before the next rebuild
        silinenleriSil();
        QVERIFY2(!onceki, "the closed clock is still alive");
        QVERIFY(b.form1() && b.form1()->isVisible());
        onceki = b.form1();
    }
    QCOMPARE(say(b, saat), once);
}

void TestSoak::diyalogOnaylari()
{
    MockClock saat(QTime(10, 0));
    int sorulan = 0;
    ScopedColorAnswer yanit([&sorulan] { return renkNo(sorulan++); });
    Baslangic b;
    b.Form_Load();
    Menu &menu = *b.menu();

    auto renkOnayi = [&] {
        menuCommand(menu, "color")->trigger();
        Renk *r = menu.renkPenceresi();
        child<QPushButton>(r, "Command1")->click();
        child<QPushButton>(r, "Command2")->click();
        child<QPushButton>(r, "Command3")->click();
    };
    auto seffaflikOnayi = [&](int deger) {
        menuCommand(menu, "seffaf")->trigger();
        Seffaflik *s = menu.seffaflikPenceresi();
        child<QSlider>(s, "Slider1")->setValue(deger);
        child<QPushButton>(s, "Command1")->click();
    };
    // One round of each first: the menu, the chooser and the style are made once and then kept.
    renkOnayi();
    seffaflikOnayi(200);
    const Sayim once = say(b, saat);

    for (int i = 0; i < 250; ++i) {
        renkOnayi();
        const QColor yazi = renkNo(sorulan - 2);
        seffaflikOnayi(i % 256);
        saat.advance(600);
        silinenleriSil();
        QVERIFY(!menu.renkPenceresi() && !menu.seffaflikPenceresi());
        QVERIFY(b.form1() && b.form1()->isVisible());
        QCOMPARE(saatRengi(b.form1()), yazi);
        QCOMPARE(qRound(b.form1()->windowOpacity() * 255), qMax<int>(i % 256, Module1::EnAzGorunen));
        QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QString::number(i % 256));
    }
    QCOMPARE(say(b, saat), once);
}

void TestSoak::pencereAcipKapama()
{
    MockClock saat(QTime(10, 0));
    Baslangic b;
    b.Form_Load();
    Menu &menu = *b.menu();
    const QList<std::pair<const char *, std::function<QWidget *()>>> pencereler = {
        {"color", [&] { return static_cast<QWidget *>(menu.renkPenceresi()); }},
        {"seffaf", [&] { return static_cast<QWidget *>(menu.seffaflikPenceresi()); }},
        {"zaman", [&] { return static_cast<QWidget *>(menu.zamanlayiciPenceresi()); }},
        {"kronometre", [&] { return static_cast<QWidget *>(menu.kronoPenceresi()); }},
        {"hakkinda", [&] { return static_cast<QWidget *>(menu.hakkindaPenceresi()); }},
        {"help", [&] { return static_cast<QWidget *>(menu.yardimPenceresi()); }},
    };
    QMenu *acilir = menu.popupMenu();
    auto tur = [&] {
        // The popup as the clock's picture opens it: the press returns once the menu has closed.
        QTimer::singleShot(0, acilir, [acilir] { acilir->close(); });
        QTest::mousePress(child<QLabel>(b.form1(), "Image1"), Qt::LeftButton);
        QVERIFY(!acilir->isVisible());
        for (const auto &[oge, pencere] : pencereler) {
            menuCommand(menu, oge)->trigger();
            QWidget *w = pencere();
            QVERIFY2(w && w->isVisible(), oge);
            w->close();
        }
        silinenleriSil();
        for (const auto &[oge, pencere] : pencereler)
            QVERIFY2(!pencere(), oge);
    };
    tur();
    const Sayim once = say(b, saat);
    const QByteArray depo = storeBytes();
    for (int i = 0; i < 500; ++i) {
        tur();
        if (QTest::currentTestFailed())
            return;
        saat.advance(300);
    }
    QCOMPARE(say(b, saat), once);
    // Closed with their close boxes, the dialogs stored nothing.
    QVERIFY(QFile::exists(AyarDeposu::dosyaYolu()));
    QCOMPARE(storeBytes(), depo);
}

void TestSoak::duyurular()
{
    MockClock saat(QTime(0, 0));
    RecordingSound ses(&saat);
    Baslangic b;
    b.Form_Load();
    SaatOku &okuyucu = *b.menu()->okuyucu();
    const Sayim once = say(b, saat);
    int acilislar = 0;
    for (int i = 0; i < 1000; ++i) {
        // Each announcement at a time of its own, so that every clip of the set is played.
        saat.setTime(QTime((i * 7) % 24, (i * 13) % 60, 0));
        ses.played.clear();
        okuyucu.saat_oku();
        saat.advance(4500);
        QVERIFY2(ses.played.size() >= 3 && ses.played.size() <= 5, qPrintable(QString::number(i)));
        acilislar += int(ses.played.first().path.endsWith(QLatin1String("/Ses/Saat.wav")));
        QCOMPARE(say(b, saat), once);
    }
    QCOMPARE(acilislar, 1000);
    // With all four one-shot timers idle again nothing more is played.
    ses.played.clear();
    saat.advance(10000);
    QVERIFY(ses.played.isEmpty());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
