#include "platform/platformsecimi.h"

#include <QTest>

class TestPlatformSecimi : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void secim_data();
    void secim();
    void kisitli_data();
    void kisitli();
};

void TestPlatformSecimi::secim_data()
{
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<QByteArray>("tur");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("x");
    QTest::addColumn<QByteArray>("beklenen");

    // The user's own choice always wins, also one that loses the corner.
    QTest::newRow("user's xcb in a Wayland session") << QByteArray("xcb") << QByteArray("wayland")
                                                     << QByteArray("wayland-0") << QByteArray(":0") << QByteArray();
    QTest::newRow("user's wayland beside XWayland") << QByteArray("wayland") << QByteArray("wayland")
                                                    << QByteArray("wayland-0") << QByteArray(":0") << QByteArray();
    QTest::newRow("user's offscreen without any display") << QByteArray("offscreen") << QByteArray() << QByteArray()
                                                          << QByteArray() << QByteArray();
    // An empty or blank variable is no choice.
    QTest::newRow("blank QT_QPA_PLATFORM, Wayland and XWayland") << QByteArray("  ") << QByteArray("wayland")
                                                                 << QByteArray("wayland-0") << QByteArray(":1")
                                                                 << QByteArray("xcb;wayland");
    // Wayland with XWayland: the X display, where the clock may place and raise itself; Wayland
    // when that display does not open.
    QTest::newRow("Wayland session with XWayland") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0")
                                                   << QByteArray(":0") << QByteArray("xcb;wayland");
    QTest::newRow("session type only, with XWayland") << QByteArray() << QByteArray("wayland") << QByteArray()
                                                      << QByteArray(":0") << QByteArray("xcb;wayland");
    QTest::newRow("session type in capitals") << QByteArray() << QByteArray("Wayland") << QByteArray()
                                              << QByteArray(":0") << QByteArray("xcb;wayland");
    QTest::newRow("Wayland socket without session type") << QByteArray() << QByteArray() << QByteArray("wayland-1")
                                                         << QByteArray(":2") << QByteArray("xcb;wayland");
    QTest::newRow("nested compositor in an X11 session") << QByteArray() << QByteArray("x11") << QByteArray("wayland-1")
                                                         << QByteArray(":0") << QByteArray("xcb;wayland");
    // Wayland alone: Wayland, or the program would not start at all.
    QTest::newRow("Wayland without X display") << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0")
                                               << QByteArray() << QByteArray("wayland");
    QTest::newRow("Wayland socket only") << QByteArray() << QByteArray("tty") << QByteArray("wayland-0")
                                         << QByteArray() << QByteArray("wayland");
    // Not Wayland: Qt's own choice.
    QTest::newRow("X11 session") << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray(":0")
                                 << QByteArray();
    QTest::newRow("X display, no session type") << QByteArray() << QByteArray() << QByteArray() << QByteArray(":0")
                                                << QByteArray();
    QTest::newRow("nothing at all") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TestPlatformSecimi::secim()
{
    QFETCH(QByteArray, qpa);
    QFETCH(QByteArray, tur);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, x);
    QFETCH(QByteArray, beklenen);
    QCOMPARE(platform::platformSec({qpa, tur, wayland, x}), beklenen);
}

void TestPlatformSecimi::kisitli_data()
{
    QTest::addColumn<QString>("ad");
    QTest::addColumn<bool>("kisitli");
    QTest::newRow("wayland") << QStringLiteral("wayland") << true;
    QTest::newRow("wayland-egl") << QStringLiteral("wayland-egl") << true;
    QTest::newRow("xcb") << QStringLiteral("xcb") << false;
    QTest::newRow("offscreen") << QStringLiteral("offscreen") << false;
}

void TestPlatformSecimi::kisitli()
{
    QFETCH(QString, ad);
    QFETCH(bool, kisitli);
    QCOMPARE(platform::kisitliPlatform(ad), kisitli);
}

QTEST_GUILESS_MAIN(TestPlatformSecimi)
#include "tst_platformsecimi.moc"
