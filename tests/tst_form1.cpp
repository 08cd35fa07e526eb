#include "clock/form1.h"
#include "clock/module1.h"
#include "mockclock.h"
#include "platform/windowmanager.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {
QString metin(Form1 *f, const char *ad)
{
    return f->findChild<QLabel *>(QLatin1String(ad))->text();
}
QString gosterilen(Form1 *f)
{
    return metin(f, "saat") + metin(f, "Label1") + metin(f, "dakika") + metin(f, "Label2") + metin(f, "saniye");
}
} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QFile::remove(AyarDeposu::dosyaYolu()); }

    void saatGosterimi_data();
    void saatGosterimi();
    void onIkiSaatlikYerelAyar();
    void ayiraclarYanipSoner();
    void saniyeDonumuneHizali_data();
    void saniyeDonumuneHizali();
    void saatAyarlanincaYenidenHizalanir();
    void seffaflikUygula_data();
    void seffaflikUygula();
    void koseyeYerlesir();
    void surukleme_data();
    void surukleme();
    void yenidenKurulumProgramiBitirmez();
    // Last: the exit it asks for stays pending for every later event loop of this process.
    void pencereYoneticisiKapatirsaProgramBiter();
};

void TestForm1::saatGosterimi_data()
{
    QTest::addColumn<QTime>("zaman");
    QTest::addColumn<QString>("beklenen");
    QTest::newRow("morning") << QTime(9, 5, 3) << "09:05:03";
    QTest::newRow("midnight") << QTime(0, 0, 0) << "00:00:00";
    QTest::newRow("last second") << QTime(23, 59, 59) << "23:59:59";
    QTest::newRow("afternoon") << QTime(13, 0, 0) << "13:00:00";
    QTest::newRow("ten past ten") << QTime(10, 10, 10) << "10:10:10";
}

void TestForm1::saatGosterimi()
{
    QFETCH(QTime, zaman);
    QFETCH(QString, beklenen);
    MockClock saat(zaman);
    Form1 f;
    f.Form_Load();
    QCOMPARE(gosterilen(&f), beklenen);
    // Its own picture is a PNG, which Qt reads itself: no image plugin is loaded for it.
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(!maps.readAll().contains("/imageformats/"));
}

void TestForm1::onIkiSaatlikYerelAyar()
{
    const QLocale once;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    MockClock saat(QTime(13, 0, 0));
    Form1 f;
    f.Form_Load();
    QLocale::setDefault(once);
    QCOMPARE(metin(&f, "saat"), QStringLiteral("13"));
}

void TestForm1::ayiraclarYanipSoner()
{
    MockClock saat(QTime(12, 0, 0, 500));
    Form1 f;
    f.Form_Load();
    // ":" for at least the first second, up to a millisecond after a half second of the seconds
    // tick (3 ms after the turn); then a blank (never an empty text) and ":" every 500 ms, the half
    // that begins with the seconds tick a millisecond early, with it.
    const QList<QPair<int, QString>> adimlar = {{1003, ":"}, {1, " "}, {498, " "}, {1, ":"}, {500, ":"},
                                                {1, " "}, {498, " "}, {1, ":"}, {500, ":"}, {1, " "}};
    for (const auto &[ms, beklenen] : adimlar) {
        saat.advance(ms);
        QCOMPARE(metin(&f, "Label1"), beklenen);
        QCOMPARE(metin(&f, "Label2"), beklenen);
    }
    // Only one of the two blink timers runs at a time, beside the seconds timer.
    QCOMPARE(saat.armedTimers(), 2);
}

void TestForm1::saniyeDonumuneHizali_data()
{
    QTest::addColumn<int>("baslangicMs");
    QTest::newRow("on the turn") << 0;
    QTest::newRow("just after") << 4;
    QTest::newRow("middle") << 500;
    QTest::newRow("just before") << 999;
}

void TestForm1::saniyeDonumuneHizali()
{
    QFETCH(int, baslangicMs);
    MockClock saat(QTime(8, 59, 58, baslangicMs));
    Form1 f;
    f.Form_Load();
    // Step through 70 seconds a millisecond at a time: the digits change at most 50 ms after the
    // clock's second turns, and never show a second that has not yet begun.
    QString onceki = metin(&f, "saniye");
    QString oncekiYuz = gosterilen(&f);
    int degisim = 0;
    int boyama = 0;
    for (int i = 0; i < 70000; ++i) {
        saat.advance(1);
        const QTime simdi = saat.currentTime();
        const QString s = metin(&f, "saniye");
        if (const QString yuz = gosterilen(&f); yuz != oncekiYuz) {
            ++boyama;
            oncekiYuz = yuz;
        }
        QCOMPARE(s.toInt(), simdi.msec() <= 50 ? s.toInt() : simdi.second());
        if (s != onceki) {
            ++degisim;
            QVERIFY2(simdi.msec() <= 50, qPrintable(simdi.toString(QStringLiteral("hh:mm:ss.zzz"))));
            QCOMPARE(s.toInt(), simdi.second());
            onceki = s;
        }
    }
    QVERIFY(degisim >= 69);
    // The blink shares the seconds tick's moment: two moments of change a second, not three.
    QVERIFY2(boyama <= 2 * 70 + 1, qPrintable(QString::number(boyama)));
    QCOMPARE(metin(&f, "saat") + metin(&f, "dakika"), QStringLiteral("0901"));
}

void TestForm1::saatAyarlanincaYenidenHizalanir()
{
    MockClock saat(QTime(10, 0, 0, 0));
    Form1 f;
    f.Form_Load();
    saat.advance(2500);
    // The system clock is set 400 ms back: ticks now fall 400 ms into each second until lined up again.
    saat.setTime(QTime(10, 0, 2, 100));
    int gecikmeliTik = 0;
    QString onceki = metin(&f, "saniye");
    for (int i = 0; i < 5000; ++i) {
        saat.advance(1);
        const QString s = metin(&f, "saniye");
        if (s != onceki) {
            if (saat.currentTime().msec() > 50)
                ++gecikmeliTik;
            onceki = s;
        }
    }
    QVERIFY2(gecikmeliTik <= 1, qPrintable(QString::number(gecikmeliTik)));
}

void TestForm1::seffaflikUygula_data()
{
    QTest::addColumn<int>("deger");
    QTest::addColumn<int>("sonuc");
    QTest::addColumn<double>("opaklik");
    QTest::newRow("opaque") << 255 << 0 << 1.0;
    QTest::newRow("transparent is shown at 10 %") << 0 << 0 << 26 / 255.0;
    QTest::newRow("just below 10 %") << 25 << 0 << 26 / 255.0;
    QTest::newRow("10 %") << 26 << 0 << 26 / 255.0;
    QTest::newRow("just above 10 %") << 27 << 0 << 27 / 255.0;
    QTest::newRow("half") << 128 << 0 << 128 / 255.0;
    QTest::newRow("above range") << 256 << 1 << 0.6;
    QTest::newRow("below range") << -1 << 1 << 0.6;
    QTest::newRow("most negative") << -32768 << 1 << 0.6;
}

void TestForm1::seffaflikUygula()
{
    QFETCH(int, deger);
    QFETCH(int, sonuc);
    QFETCH(double, opaklik);
    QWidget w;
    w.setWindowOpacity(0.6);
    QCOMPARE(Module1::seffaflik_uygula(&w, qint16(deger)), sonuc);
    QCOMPARE(w.windowOpacity(), opaklik);
    // No window: the platform call cannot be made.
    QCOMPARE(Module1::seffaflik_uygula(nullptr, qint16(deger)), 2);
}

void TestForm1::koseyeYerlesir()
{
    MockClock saat(QTime(12, 0));
    Form1 f;
    f.Form_Load();
    f.show();
    const QRect ekran = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(f.size(), QSize(133, 34));
    QCOMPARE(f.pos(), QPoint(ekran.right() + 1 - 133, ekran.bottom() + 1 - 34 - 33));
    f.move(10, 10);
    // Each activation brings it back to the corner and applies the stored background.
    AyarDeposu::ayar_yaz(Anahtar::Arka, QStringLiteral("255"));
    f.Form_Activate();
    QCOMPARE(f.pos(), QPoint(ekran.right() + 1 - 133, ekran.bottom() + 1 - 67));
    QCOMPARE(f.palette().color(QPalette::Window), QColor(255, 0, 0));
    QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(f.windowFlags() & Qt::FramelessWindowHint);
}

void TestForm1::surukleme_data()
{
    QTest::addColumn<int>("dugmeler");
    QTest::addColumn<bool>("tasinir");
    QTest::newRow("left alone") << int(Qt::LeftButton) << true;
    QTest::newRow("no button") << int(Qt::NoButton) << false;
    QTest::newRow("right") << int(Qt::RightButton) << false;
    QTest::newRow("middle") << int(Qt::MiddleButton) << false;
    QTest::newRow("left and right") << int(Qt::LeftButton | Qt::RightButton) << false;
}

void TestForm1::surukleme()
{
    QFETCH(int, dugmeler);
    QFETCH(bool, tasinir);
    MockClock saat(QTime(12, 0));
    Form1 f;
    f.Form_Load();
    f.show();
    const QPoint basla = f.pos();
    QWidget *rakam = f.findChild<QLabel *>(QStringLiteral("dakika"));
    auto hareket = [&](QPoint ekranda) {
        QMouseEvent e(QEvent::MouseMove, QPointF(rakam->mapFromGlobal(ekranda)), QPointF(ekranda),
                      Qt::NoButton, Qt::MouseButtons(dugmeler), Qt::NoModifier);
        QApplication::sendEvent(rakam, &e);
    };
    const QPoint tutma = basla + QPoint(60, 15);
    hareket(tutma);
    hareket(tutma + QPoint(-300, -200));
    QCOMPARE(f.pos(), tasinir ? basla + QPoint(-300, -200) : basla);
    QMouseEvent birak(QEvent::MouseButtonRelease, QPointF(), QPointF(tutma), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&f, &birak);
}

void TestForm1::pencereYoneticisiKapatirsaProgramBiter()
{
    Baslangic b;
    b.Form_Load();
    QFile dosya(AyarDeposu::dosyaYolu());
    QVERIFY(dosya.open(QIODevice::ReadOnly));
    const QByteArray once = dosya.readAll();
    dosya.close();
    QEventLoop dongu;
    QTimer::singleShot(0, b.form1(), &QWidget::close);
    QTimer::singleShot(5000, &dongu, [&] { dongu.exit(7); });
    QCOMPARE(dongu.exec(), 0);
    QVERIFY(dosya.open(QIODevice::ReadOnly));
    QCOMPARE(dosya.readAll(), once);
}

void TestForm1::yenidenKurulumProgramiBitirmez()
{
    Baslangic b;
    b.Form_Load();
    QEventLoop dongu;
    QTimer::singleShot(0, &b, [&] {
        b.form1Kapat();
        b.ayarla();
    });
    QTimer::singleShot(100, &dongu, [&] { dongu.exit(7); });
    QCOMPARE(dongu.exec(), 7);
    QVERIFY(b.form1() && b.form1()->isVisible());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
