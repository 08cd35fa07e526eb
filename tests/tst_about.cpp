#include "about/hakkinda.h"
#include "about/yardim.h"
#include "dialogs/menu.h"
#include "helpers.h"
#include "recordingurlopener.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QWindow>

namespace {

int acikPencereSayisi(const char *sinif)
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->inherits(sinif) ? 1 : 0;
    return n;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hakkindaPenceresi();
    void resimTiklamasi_data();
    void resimTiklamasi();
    void yardimPenceresi();
    void yardimMetni();
    void boyutlandirmaEtiketiOynatmaz_data();
    void boyutlandirmaEtiketiOynatmaz();
    void menudenTekPencere_data();
    void menudenTekPencere();

private:
    std::optional<RecordingUrlOpener> m_tarayici;
};

void TestAbout::initTestCase()
{
    // As the program does: windows without an icon of their own would show this one.
    qApp->setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
}

void TestAbout::init()
{
    m_tarayici.emplace();
}

void TestAbout::cleanup()
{
    m_tarayici.reset();
}

void TestAbout::hakkindaPenceresi()
{
    hakkinda h;
    QCOMPARE(h.windowTitle(), QStringLiteral("Orlenbay Velmora"));
    QCOMPARE(h.windowType(), Qt::Tool);
    const Qt::WindowFlags f = h.windowFlags();
    QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
    // The designed 238 rows would cut the picture's last two.
    QCOMPARE(h.minimumSize(), QSize(320, 240));
    QCOMPARE(h.maximumSize(), QSize(320, 240));
    QVERIFY(isBlankIcon(h.windowIcon()));

    const QLabel *resim = h.findChild<QLabel *>(QStringLiteral("Image1"));
    QVERIFY(resim);
    QCOMPARE(resim->geometry(), QRect(0, 0, 320, 240));
    QCOMPARE(resim->pixmap().size(), QSize(320, 240));
    // The picture starts at the window's corner and is shown whole.
    const QImage gorunen = h.grab().toImage();
    const QImage asil = QImage(QStringLiteral(":/velmora/hakkinda.jpg")).convertToFormat(gorunen.format());
    QCOMPARE(gorunen, asil);
}

void TestAbout::resimTiklamasi_data()
{
    QTest::addColumn<QString>("hareket");
    QTest::addColumn<int>("acilis");
    QTest::newRow("one left click") << "L" << 1;
    QTest::newRow("two left clicks") << "LL" << 2;
    QTest::newRow("three left clicks") << "LLL" << 3;
    QTest::newRow("right click") << "R" << 0;
    QTest::newRow("middle click") << "M" << 0;
    QTest::newRow("pressed on the picture, released off it") << "D" << 0;
    QTest::newRow("double click") << "2" << 1;
}

void TestAbout::resimTiklamasi()
{
    QFETCH(QString, hareket);
    QFETCH(int, acilis);
    hakkinda h;
    h.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h));
    // Through the window system, so that two quick presses make a double click as they would for real.
    QWindow *pencere = h.windowHandle();
    const QPoint orta(160, 120);
    for (QChar c : hareket) {
        switch (c.toLatin1()) {
        case 'L':
            QTest::mouseClick(pencere, Qt::LeftButton, {}, orta);
            break;
        case 'R':
            QTest::mouseClick(pencere, Qt::RightButton, {}, orta);
            break;
        case 'M':
            QTest::mouseClick(pencere, Qt::MiddleButton, {}, orta);
            break;
        case 'D':
            QTest::mousePress(pencere, Qt::LeftButton, {}, orta);
            QTest::mouseRelease(pencere, Qt::LeftButton, {}, QPoint(400, 120));
            break;
        case '2':
            QTest::mouseDClick(pencere, Qt::LeftButton, {}, orta);
            break;
        }
    }
    QCOMPARE(m_tarayici->opened.size(), acilis);
    for (const QUrl &adres : std::as_const(m_tarayici->opened))
        QCOMPARE(adres, QUrl(QStringLiteral("https://orlenbay.example/velmora")));
    QVERIFY(h.isVisible());
}

void TestAbout::yardimPenceresi()
{
    yardim y;
    QCOMPARE(y.windowTitle(), QStringLiteral("Yardım"));
    QCOMPARE(y.windowType(), Qt::Tool);
    const Qt::WindowFlags f = y.windowFlags();
    QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
    const QLabel *l = y.findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(l);
    // The label grows down from its designed 57 pixels to hold the wrapped sentence, the window with it.
    QCOMPARE(l->geometry().topLeft(), QPoint(8, 8));
    QCOMPARE(l->width(), 201);
    QVERIFY(l->height() >= 57);
    QCOMPARE(y.size(), QSize(226, 75 + l->height() - 57));
    QVERIFY(y.minimumSize() != y.maximumSize());
    QVERIFY(isBlankIcon(y.windowIcon()));

    const QPalette sistem = QApplication::palette();
    QVERIFY(y.autoFillBackground());
    QCOMPARE(y.palette().color(QPalette::Window), sistem.color(QPalette::Highlight));
    QVERIFY(!l->autoFillBackground());
    QCOMPARE(l->palette().color(QPalette::WindowText), sistem.color(QPalette::HighlightedText));
    QCOMPARE(l->font().family(), QStringLiteral("Arial Narrow"));
    QCOMPARE(l->font().pointSizeF(), 9.75);
    QVERIFY(l->wordWrap());
    QVERIFY(l->alignment().testFlag(Qt::AlignLeft));
}

void TestAbout::yardimMetni()
{
    yardim y;
    const QLabel *l = y.findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(l);
    // Built from UTF-8 bytes, so that neither the source's encoding nor a misspelling slips by.
    const QByteArray beklenen = QByteArray("Program hakk\xc4\xb1nda yard\xc4\xb1m almak isterseniz.")
                                + QByteArray(11, ' ') + QByteArray("destek@orlenbay.example")
                                + QByteArray(20, ' ')
                                + QByteArray("adresinden sorular\xc4\xb1n\xc4\xb1z\xc4\xb1 yollayabilirsiniz.");
    QCOMPARE(l->text().toUtf8(), beklenen);

    const QRegularExpression bosluklar(QStringLiteral("\\.( +)destek@orlenbay\\.example( +)adresinden"));
    const QRegularExpressionMatch m = bosluklar.match(l->text());
    QVERIFY(m.hasMatch());
    QCOMPARE(m.capturedLength(1), 11);
    QCOMPARE(m.capturedLength(2), 20);
    // Shown as written, never read as markup.
    QCOMPARE(l->textFormat(), Qt::PlainText);
}

void TestAbout::boyutlandirmaEtiketiOynatmaz_data()
{
    QTest::addColumn<QSize>("boyut");
    QTest::newRow("larger") << QSize(500, 300);
    QTest::newRow("smaller than the label") << QSize(120, 40);
    QTest::newRow("wide and flat") << QSize(600, 50);
}

void TestAbout::boyutlandirmaEtiketiOynatmaz()
{
    QFETCH(QSize, boyut);
    yardim y;
    y.show();
    QVERIFY(QTest::qWaitForWindowExposed(&y));
    const QLabel *l = y.findChild<QLabel *>(QStringLiteral("Label1"));
    const QRect yer = l->geometry();
    const QSize ilk = y.size();
    y.resize(boyut);
    QCoreApplication::processEvents();
    QCOMPARE(y.size(), boyut);
    QCOMPARE(l->geometry(), yer);
    y.resize(ilk);
    QCoreApplication::processEvents();
    QCOMPARE(l->geometry(), yer);
}

void TestAbout::menudenTekPencere_data()
{
    QTest::addColumn<QString>("pencere");
    QTest::newRow("Hakkında") << "hakkinda";
    QTest::newRow("Yardım") << "yardim";
}

void TestAbout::menudenTekPencere()
{
    QFETCH(QString, pencere);
    Menu m;
    const bool hakkindaMi = pencere == QLatin1String("hakkinda");
    auto sec = [&] { hakkindaMi ? m.hakkinda_Click() : m.help_Click(); };
    auto acik = [&]() -> QWidget * {
        return hakkindaMi ? static_cast<QWidget *>(m.hakkindaPenceresi()) : m.yardimPenceresi();
    };
    const QByteArray sinif = pencere.toLatin1();

    sec();
    QWidget *ilk = acik();
    QVERIFY(ilk);
    QVERIFY(ilk->isVisible());
    sec();
    QCOMPARE(acik(), ilk);
    QCOMPARE(acikPencereSayisi(sinif.constData()), 1);

    ilk->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!acik());
    QCOMPARE(acikPencereSayisi(sinif.constData()), 0);
    sec();
    QVERIFY(acik());
    QCOMPARE(acikPencereSayisi(sinif.constData()), 1);
    acik()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
