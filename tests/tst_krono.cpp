#include "dialogs/menu.h"
#include "helpers.h"
#include "mockclock.h"
#include "stopwatch/krono.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

QString gosterilen(const QWidget &k)
{
    QStringList alanlar;
    for (const char *ad : {"Label1", "Label2", "Label3"})
        alanlar << k.findChild<QLabel *>(QLatin1String(ad))->text();
    return alanlar.join(QLatin1Char(' '));
}

QPushButton *dugme(const QWidget &k, const char *ad)
{
    return k.findChild<QPushButton *>(QLatin1String(ad));
}

void bas(const QWidget &k, const char *ad)
{
    QTest::mouseClick(dugme(k, ad), Qt::LeftButton);
}

void basla(const QWidget &k) { bas(k, "Command1"); }
void durdur(const QWidget &k) { bas(k, "Command2"); }
void sifirla(const QWidget &k) { bas(k, "Command3"); }

} // namespace

class TestKrono : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pencereTasarimdaki();
    void alanlarVeDugmelerSoldanSaga();
    void klavyeSirasi();
    void acilistaDurur();
    void ilkTikTamBirSaniyeSonra_data();
    void ilkTikTamBirSaniyeSonra();
    void sayimVeElde_data();
    void sayimVeElde();
    void durdurVeDevam();
    void durdurulanSurec_data();
    void durdurulanSurec();
    void sifirlaninca_data();
    void sifirlaninca();
    void baslaIkiKezHizlandirmaz();
    void menudenTekPencere();
    void kapatilanPencereninSayaciKalmaz();
};

void TestKrono::pencereTasarimdaki()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    QCOMPARE(k.windowTitle(), QStringLiteral("Kronometre"));
    QVERIFY(k.isWindow());
    QCOMPARE(k.windowType(), Qt::Window); // a taskbar window, not a tool window
    const Qt::WindowFlags f = k.windowFlags();
    QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
    // The designed 158x86 cuts the buttons at 161 and 89: it grows to hold them.
    QCOMPARE(k.minimumSize(), QSize(161, 89));
    QCOMPARE(k.maximumSize(), QSize(161, 89));
    QVERIFY(!k.windowIcon().isNull());

    const QPalette sistem = QApplication::palette();
    QVERIFY(k.autoFillBackground());
    QCOMPARE(k.palette().color(QPalette::Window), sistem.color(QPalette::Highlight));
    for (const char *ad : {"Label1", "Label2", "Label3"}) {
        const QLabel *l = k.findChild<QLabel *>(QLatin1String(ad));
        QVERIFY2(l, ad);
        QVERIFY(!l->autoFillBackground());
        QCOMPARE(l->palette().color(QPalette::WindowText), sistem.color(QPalette::HighlightedText));
        QCOMPARE(l->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(l->font().pointSize(), 18);
        // Centred across only, as the clock's separators: the digits keep to the top of the field.
        QCOMPARE(l->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        // Two digits of whatever face stands in for the designed one fit the field.
        QVERIFY(l->fontMetrics().horizontalAdvance(QStringLiteral("88")) <= l->width());
    }
    // The buttons are not painted in the window's highlight.
    QCOMPARE(dugme(k, "Command1")->palette().color(QPalette::Window), sistem.color(QPalette::Window));
}

void TestKrono::alanlarVeDugmelerSoldanSaga()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    const QList<std::pair<const char *, QRect>> yerler = {
        {"Label1", QRect(8, 16, 41, 41)},   {"Label2", QRect(56, 16, 41, 41)},
        {"Label3", QRect(104, 16, 41, 41)}, {"Command3", QRect(0, 64, 49, 25)},
        {"Command2", QRect(56, 64, 49, 25)}, {"Command1", QRect(112, 64, 49, 25)},
    };
    for (const auto &[ad, yer] : yerler) {
        const QWidget *w = k.findChild<QWidget *>(QLatin1String(ad));
        QVERIFY2(w, ad);
        QCOMPARE(w->geometry(), yer);
    }
    QCOMPARE(dugme(k, "Command3")->text(), QStringLiteral("Sıfırla"));
    QCOMPARE(dugme(k, "Command2")->text(), QStringLiteral("Durdur"));
    QCOMPARE(dugme(k, "Command1")->text(), QStringLiteral("Başla"));
}

void TestKrono::klavyeSirasi()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    k.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&k));
    QCOMPARE(QApplication::focusWidget(), dugme(k, "Command1"));
    for (const char *sonraki : {"Command2", "Command3", "Command1"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dugme(k, sonraki));
        QVERIFY2(focusRingShown(&k), sonraki);
    }
    // The space bar on the focused "Başla" starts the count.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    saat.advance(1000);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
}

void TestKrono::acilistaDurur()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
    saat.advance(10 * 1000);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
    QCOMPARE(saat.armedTimers(), 0);
}

void TestKrono::ilkTikTamBirSaniyeSonra_data()
{
    QTest::addColumn<int>("bekleme");
    QTest::newRow("pressed at once") << 0;
    QTest::newRow("pressed 300 ms after opening") << 300;
    QTest::newRow("pressed 2.5 s after opening") << 2500;
}

void TestKrono::ilkTikTamBirSaniyeSonra()
{
    QFETCH(int, bekleme);
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    saat.advance(bekleme);
    basla(k);
    saat.advance(999);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
    saat.advance(1);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
    saat.advance(999);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
    saat.advance(1);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 02"));
}

void TestKrono::sayimVeElde_data()
{
    QTest::addColumn<int>("tikler");
    QTest::addColumn<QString>("once");
    QTest::addColumn<QString>("sonra");
    QTest::newRow("9 s to 10 s") << 10 << "00 00 09" << "00 00 10";
    QTest::newRow("00:00:59 to 00:01:00") << 60 << "00 00 59" << "00 01 00";
    QTest::newRow("00:01:59 to 00:02:00") << 120 << "00 01 59" << "00 02 00";
    QTest::newRow("00:59:59 to 01:00:00") << 3600 << "00 59 59" << "01 00 00";
    QTest::newRow("09:59:59 to 10:00:00") << 36000 << "09 59 59" << "10 00 00";
    QTest::newRow("23:59:59 to 00:00:00") << 86400 << "23 59 59" << "00 00 00";
    QTest::newRow("keeps running after the wrap") << 86401 << "00 00 00" << "00 00 01";
}

void TestKrono::sayimVeElde()
{
    QFETCH(int, tikler);
    QFETCH(QString, once);
    QFETCH(QString, sonra);
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    basla(k);
    saat.advance((tikler - 1) * 1000);
    QCOMPARE(gosterilen(k), once);
    saat.advance(1000);
    QCOMPARE(gosterilen(k), sonra);
}

void TestKrono::durdurVeDevam()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    basla(k);
    saat.advance(2500);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 02"));
    durdur(k);
    saat.advance(10 * 1000);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 02"));
    durdur(k); // stopping a stopped watch changes nothing
    saat.advance(1000);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 02"));

    // The half second that ran before "Durdur" counts: the next second is whole half a second later.
    basla(k);
    saat.advance(499);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 02"));
    saat.advance(1);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 03"));
    saat.advance(999);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 03"));
    saat.advance(1);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 04"));
}

void TestKrono::durdurulanSurec_data()
{
    // B "Başla", D "Durdur", +ms time passing, ~ms the program stopped (a frozen desktop, a suspend).
    QTest::addColumn<QString>("olaylar");
    QTest::addColumn<QString>("beklenen");
    QTest::newRow("stopped 10 s while running") << "B +2500 ~10000" << "00 00 12";
    QTest::newRow("stopped across the turn of a minute") << "B +55300 ~10000" << "00 01 05";
    QTest::newRow("the next second after a stop") << "B +2500 ~10000 +499 +1" << "00 00 13";
    QTest::newRow("Durdur after a stop keeps the count") << "B +2500 ~10000 D +5000" << "00 00 12";
    QTest::newRow("stopped while the watch is stopped") << "B +2500 D ~10000 B +500" << "00 00 03";
    QTest::newRow("parts of seconds add up") << "B +600 D B +600 D" << "00 00 01";
}

void TestKrono::durdurulanSurec()
{
    QFETCH(QString, olaylar);
    QFETCH(QString, beklenen);
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    for (const QString &olay : olaylar.split(QLatin1Char(' '))) {
        if (olay == QLatin1String("B"))
            basla(k);
        else if (olay == QLatin1String("D"))
            durdur(k);
        else if (olay.startsWith(QLatin1Char('+')))
            saat.advance(olay.mid(1).toInt());
        else
            saat.stall(olay.mid(1).toInt());
    }
    QCOMPARE(gosterilen(k), beklenen);
}

void TestKrono::sifirlaninca_data()
{
    QTest::addColumn<bool>("calisiyor");
    QTest::newRow("while running") << true;
    QTest::newRow("while stopped") << false;
}

void TestKrono::sifirlaninca()
{
    QFETCH(bool, calisiyor);
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    basla(k);
    saat.advance(3661 * 1000 + 400); // 01:01:01 and 400 ms into the next second
    QCOMPARE(gosterilen(k), QStringLiteral("01 01 01"));
    if (!calisiyor)
        durdur(k);

    sifirla(k);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
    if (calisiyor) {
        // Counting starts over from the press.
        saat.advance(999);
        QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
        saat.advance(1);
        QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
    } else {
        saat.advance(5000);
        QCOMPARE(gosterilen(k), QStringLiteral("00 00 00"));
        basla(k);
        saat.advance(1000);
        QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
    }
}

void TestKrono::baslaIkiKezHizlandirmaz()
{
    MockClock saat(QTime(12, 0));
    Krono k;
    k.show();
    basla(k);
    saat.advance(400);
    basla(k);
    QCOMPARE(saat.armedTimers(), 1);
    // The running second is not started over by the second press.
    saat.advance(600);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 01"));
    saat.advance(9000);
    QCOMPARE(gosterilen(k), QStringLiteral("00 00 10"));
}

void TestKrono::menudenTekPencere()
{
    MockClock saat(QTime(12, 0));
    Menu m;
    m.kronometre_Click();
    Krono *ilk = m.kronoPenceresi();
    QVERIFY(ilk);
    QVERIFY(ilk->isVisible());
    basla(*ilk);
    saat.advance(3000);
    m.kronometre_Click();
    QCOMPARE(m.kronoPenceresi(), ilk);
    int kronolar = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        kronolar += qobject_cast<Krono *>(w) ? 1 : 0;
    QCOMPARE(kronolar, 1);
    // Choosing it again does not run the load step again.
    QCOMPARE(gosterilen(*ilk), QStringLiteral("00 00 03"));
    ilk->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m.kronoPenceresi());
}

void TestKrono::kapatilanPencereninSayaciKalmaz()
{
    MockClock saat(QTime(12, 0));
    Menu m;
    m.kronometre_Click();
    Krono *ilk = m.kronoPenceresi();
    basla(*ilk);
    saat.advance(5000);
    ilk->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(saat.armedTimers(), 0); // closing stops the count

    m.kronometre_Click();
    Krono *yeni = m.kronoPenceresi();
    QVERIFY(yeni);
    QCOMPARE(gosterilen(*yeni), QStringLiteral("00 00 00"));
    saat.advance(5000);
    QCOMPARE(gosterilen(*yeni), QStringLiteral("00 00 00"));
    basla(*yeni);
    saat.advance(1000);
    QCOMPARE(gosterilen(*yeni), QStringLiteral("00 00 01"));
    yeni->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestKrono)
#include "tst_krono.moc"
