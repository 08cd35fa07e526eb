#include "clock/form1.h"
#include "clock/module1.h"
#include "dialogs/menu.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "dialogs/uyari.h"
#include "dialogs/zamanlayici.h"
#include "helpers.h"
#include "mockclock.h"
#include "recordingsound.h"
#include "scopedcoloranswer.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

// The colour the user sees at a point of a widget.
QColor gorunen(QWidget *w, QPoint nokta)
{
    return w->grab().toImage().pixelColor(nokta);
}

QColor yuz(QWidget *pencere, const char *dugme)
{
    auto *d = child<QPushButton>(pencere, dugme);
    return gorunen(d, d->rect().center());
}

QColor saatYaziRengi(Form1 *f)
{
    return child<QLabel>(f, "saat")->palette().color(QPalette::WindowText);
}

int opaklik(QWidget *w)
{
    return qRound(w->windowOpacity() * 255);
}

// Types text as a keyboard would, one key event per character, Turkish letters too.
void yaz(QWidget *w, const QString &metin)
{
    for (QChar c : metin) {
        QKeyEvent bas(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent birak(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &bas);
        QApplication::sendEvent(w, &birak);
    }
}

// Answers of the colour chooser, one per opening; an invalid colour is a cancel.
QList<QColor> yanitlar;
int sorulan = 0;

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // As the program does: windows without an icon of their own would show this one.
        qApp->setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
    }
    void init()
    {
        QFile::remove(AyarDeposu::dosyaYolu());
        m_saat = std::make_unique<MockClock>(QTime(10, 20, 30));
        yanitlar.clear();
        sorulan = 0;
        m_renkYaniti = std::make_unique<ScopedColorAnswer>(
            [] { return sorulan < yanitlar.size() ? yanitlar[sorulan++] : QColor(); });
    }
    void cleanup()
    {
        m_renkYaniti.reset();
        m_saat.reset();
    }

    void menuOgeleri();
    void birKomutBirPencere_data();
    void birKomutBirPencere();
    void pencereTasarimi_data();
    void pencereTasarimi();
    void escapeVeEnter_data();
    void escapeVeEnter();

    void renkYukleme_data();
    void renkYukleme();
    void renkSecimi_data();
    void renkSecimi();
    void renkOnayiSaatiYeniler();
    void renkKapatmaKutusu();
    void seciciKendiRengindeAcilir();

    void seffaflikYukleme_data();
    void seffaflikYukleme();
    void kaydiriciTuslari_data();
    void kaydiriciTuslari();
    void kaydiriciYeniSaateUygular();
    void seffaflikOnayi();
    void seffaflikKapatmaKutusu_data();
    void seffaflikKapatmaKutusu();

    void zamanlayiciGidisDonus_data();
    void zamanlayiciGidisDonus();
    void saatKutusuSiniri_data();
    void saatKutusuSiniri();
    void zamanlayiciKapatmaKutusu();
    void uyariZamani_data();
    void uyariZamani();

private:
    std::unique_ptr<MockClock> m_saat;
    std::unique_ptr<ScopedColorAnswer> m_renkYaniti;
};

void TestDialogs::menuOgeleri()
{
    Baslangic b;
    b.Form_Load();
    auto tarif = [](const QList<QAction *> &ogeler) {
        QStringList t;
        // Anything but a plain, enabled, visible item without a key shows up in the text.
        for (QAction *a : ogeler) {
            QString s = a->isSeparator() ? QStringLiteral("-")
                        : a->menu()      ? a->text() + QStringLiteral(" >")
                                         : a->text();
            if (!a->shortcut().isEmpty())
                s += QStringLiteral(" [key ") + a->shortcut().toString() + QLatin1Char(']');
            if (!a->isEnabled() || !a->isVisible() || a->isCheckable()) s += QStringLiteral(" [state]");
            t << s;
        }
        return t;
    };
    QMenu *menu = b.menu()->popupMenu();
    const QStringList ust = tarif(menu->actions());
    QCOMPARE(ust, (QStringList{"Saati Oku...\tF2", "-", "Ayarlar >", "Kronometre\tF4", "Zamanlayıcı\tF5", "-",
                               "Yardım\tF1", "Hakkında\tF6", "Çıkış\tF7"}));
    QMenu *ayarlar = menu->actions().at(2)->menu();
    QCOMPARE(tarif(ayarlar->actions()), (QStringList{"Şeffaflık Ayarı", "Renk Ayarı"}));
    // The first test: the clock and its menu load none of Qt's own texts, the menu's windows do.
    QCOMPARE(QCoreApplication::translate("QColorDialog", "Select Color"), QStringLiteral("Select Color"));
    Renk renk;
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_tr.qm")))
        QSKIP("qtbase_tr is not installed");
    QCOMPARE(QCoreApplication::translate("QColorDialog", "Select Color"), QStringLiteral("Renk Seç"));
}

void TestDialogs::birKomutBirPencere_data()
{
    QTest::addColumn<QString>("oge");
    QTest::addColumn<QString>("sinif");
    QTest::newRow("transparency") << "seffaf"
                                  << "Seffaflik";
    QTest::newRow("colour") << "color"
                            << "Renk";
    QTest::newRow("reminder") << "zaman"
                              << "Zamanlayici";
    QTest::newRow("stopwatch") << "kronometre"
                               << "Krono";
    QTest::newRow("help") << "help"
                          << "yardim";
    QTest::newRow("about") << "hakkinda"
                           << "hakkinda";
}

void TestDialogs::birKomutBirPencere()
{
    QFETCH(QString, oge);
    QFETCH(QString, sinif);
    Baslangic b;
    b.Form_Load();
    auto acik = [&] {
        QList<QWidget *> l;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (QLatin1String(w->metaObject()->className()) == sinif) l << w;
        }
        return l;
    };
    menuCommand(*b.menu(), qPrintable(oge))->trigger();
    QCOMPARE(acik().size(), 1);
    QPointer<QWidget> ilk = acik().first();
    QVERIFY(ilk->isVisible());
    QVERIFY(!ilk->isModal());
    QVERIFY(!ilk->parentWidget());
    // Chosen again, it only comes to the front: no second load, typed text stays.
    auto *kutu = ilk->findChild<QLineEdit *>(QStringLiteral("Text1"));
    if (kutu) {
        yaz(kutu, QStringLiteral("Çay"));
        AyarDeposu::ayar_yaz(Anahtar::Baslik, QStringLiteral("başka"));
    }
    menuCommand(*b.menu(), qPrintable(oge))->trigger();
    QCOMPARE(acik().size(), 1);
    QCOMPARE(acik().first(), ilk.data());
    if (kutu) QCOMPARE(kutu->text(), QStringLiteral("Çay"));

    // Closed, it is gone; the next choice makes a new one.
    ilk->close();
    QTRY_VERIFY(!ilk);
    menuCommand(*b.menu(), qPrintable(oge))->trigger();
    QCOMPARE(acik().size(), 1);
    QVERIFY(acik().first()->isVisible());
}

void TestDialogs::pencereTasarimi_data()
{
    QTest::addColumn<QString>("oge");
    QTest::addColumn<QString>("baslik");
    QTest::addColumn<QSize>("boyut");
    QTest::addColumn<bool>("arac");
    QTest::addColumn<QStringList>("sekmeSirasi");
    QTest::newRow("colour") << "color"
                            << "Renk Ayarı" << QSize(224, 96) << true
                            << QStringList{"D_Arka", "Command1", "Command2", "Command3"};
    QTest::newRow("transparency") << "seffaf"
                                  << "Şeffaflık Ayarı" << QSize(238, 72) << true
                                  << QStringList{"Slider1", "Command1"};
    QTest::newRow("reminder") << "zaman"
                              << "Zamanlayıcı" << QSize(266, 119) << false
                              << QStringList{"Text1", "Text2", "Text3", "Text4", "Command1"};
}

void TestDialogs::pencereTasarimi()
{
    QFETCH(QString, oge);
    QFETCH(QString, baslik);
    QFETCH(QSize, boyut);
    QFETCH(bool, arac);
    QFETCH(QStringList, sekmeSirasi);
    Baslangic b;
    b.Form_Load();
    menuCommand(*b.menu(), qPrintable(oge))->trigger();
    QWidget *w = nullptr;
    for (QWidget *t : QApplication::topLevelWidgets()) {
        if (t->isVisible() && t->windowTitle() == baslik) w = t;
    }
    QVERIFY(w && w->windowTitle() == baslik);
    QCOMPARE(w->size(), boyut);
    QCOMPARE(w->minimumSize(), boyut);
    QCOMPARE(w->maximumSize(), boyut);
    const Qt::WindowFlags f = w->windowFlags();
    QCOMPARE(f & Qt::WindowType_Mask, arac ? Qt::Tool : Qt::Window);
    QVERIFY(f & Qt::WindowCloseButtonHint);
    QVERIFY(!(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    if (arac) {
        // What the window system is given: an unset icon would be the program's own.
        QVERIFY(isBlankIcon(w->windowHandle()->icon()));
    } else {
        QCOMPARE(w->windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
    }

    // The first of the tab order has the focus; Tab walks the order and wraps round.
    QVERIFY(QTest::qWaitForWindowActive(w));
    QStringList yurunen;
    for (int i = 0; i <= sekmeSirasi.size(); ++i) {
        QWidget *odak = QApplication::focusWidget();
        QVERIFY(odak);
        yurunen << odak->objectName();
        QVERIFY2(focusRingShown(w), qPrintable(odak->objectName()));
        QTest::keyClick(odak, Qt::Key_Tab);
    }
    QCOMPARE(yurunen, sekmeSirasi + QStringList{sekmeSirasi.first()});

    // Every caption fits in the room left of what is drawn over it.
    for (QLabel *l : w->findChildren<QLabel *>()) {
        int oda = l->width();
        for (QWidget *k : w->findChildren<QWidget *>()) {
            if (k->parentWidget() == l->parentWidget() && !qobject_cast<QLabel *>(k) &&
                k->geometry().intersects(l->geometry()))
                oda = qMin(oda, k->x() - l->x());
        }
        const QFontMetrics m(l->font());
        QVERIFY2(m.horizontalAdvance(l->text()) <= oda, qPrintable(l->objectName() + ": " + l->text()));
        QVERIFY2(m.height() <= l->height(), qPrintable(l->objectName()));
    }
    if (oge == QLatin1String("zaman")) {
        // The theme's highlight behind everything, its highlight text for the captions.
        const QPalette tema = QApplication::palette();
        QCOMPARE(gorunen(w, QPoint(w->width() - 2, w->height() - 2)), tema.color(QPalette::Highlight));
        for (const char *ad : {"Label1", "Label2", "Label3"})
            QCOMPARE(child<QLabel>(w, ad)->palette().color(QPalette::WindowText),
                     tema.color(QPalette::HighlightedText));
    }
}

void TestDialogs::escapeVeEnter_data()
{
    QTest::addColumn<QString>("oge");
    QTest::addColumn<QString>("odak");
    QTest::addColumn<int>("tus");
    QTest::addColumn<bool>("saklar");
    QTest::newRow("colour: Escape stores nothing") << "color" << "Command2" << int(Qt::Key_Escape) << false;
    QTest::newRow("colour: Enter on the preview confirms") << "color" << "D_Arka" << int(Qt::Key_Return) << true;
    QTest::newRow("transparency: Escape stores nothing") << "seffaf" << "Slider1" << int(Qt::Key_Escape) << false;
    QTest::newRow("transparency: keypad Enter confirms") << "seffaf" << "Slider1" << int(Qt::Key_Enter) << true;
    QTest::newRow("reminder: Escape in a box stores nothing") << "zaman" << "Text2" << int(Qt::Key_Escape) << false;
    QTest::newRow("reminder: Enter in a box confirms") << "zaman" << "Text4" << int(Qt::Key_Return) << true;
    QTest::newRow("stopwatch: Escape closes it") << "kronometre" << "Command2" << int(Qt::Key_Escape) << false;
    QTest::newRow("help: Escape closes it") << "help" << "" << int(Qt::Key_Escape) << false;
    QTest::newRow("about: Escape closes it") << "hakkinda" << "" << int(Qt::Key_Escape) << false;
}

void TestDialogs::escapeVeEnter()
{
    QFETCH(QString, oge);
    QFETCH(QString, odak);
    QFETCH(int, tus);
    QFETCH(bool, saklar);
    Baslangic b;
    b.Form_Load();
    menuCommand(*b.menu(), qPrintable(oge))->trigger();
    QPointer<QWidget> w;
    for (QWidget *t : QApplication::topLevelWidgets()) {
        if (t->isVisible() && t != b.form1() && !qobject_cast<QMenu *>(t)) w = t;
    }
    QVERIFY(QTest::qWaitForWindowActive(w));
    QWidget *hedef = odak.isEmpty() ? w.data() : child<QWidget>(w, qPrintable(odak));
    hedef->setFocus();
    // The store is gone: a confirm writes it anew, a close leaves it gone.
    QFile::remove(AyarDeposu::dosyaYolu());
    QTest::keyClick(hedef, Qt::Key(tus), tus == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    QTRY_VERIFY(!w);
    QCOMPARE(QFile::exists(AyarDeposu::dosyaYolu()), saklar);
}

void TestDialogs::renkYukleme_data()
{
    QTest::addColumn<QString>("yazi");
    QTest::addColumn<QString>("arka");
    QTest::addColumn<QColor>("yaziRengi");
    QTest::addColumn<QColor>("arkaRengi");
    QTest::newRow("first-run defaults") << "65280"
                                        << "0" << QColor(0, 255, 0) << QColor(0, 0, 0);
    QTest::newRow("red on green") << "255"
                                  << "65280" << QColor(255, 0, 0) << QColor(0, 255, 0);
    QTest::newRow("blue on a mix") << "16711680"
                                   << "8421440" << QColor(0, 0, 255) << QColor(64, 128, 128);
    QTest::newRow("unreadable texts give the defaults") << "yeşil"
                                                        << "" << QColor(0, 255, 0) << QColor(0, 0, 0);
}

void TestDialogs::renkYukleme()
{
    QFETCH(QString, yazi);
    QFETCH(QString, arka);
    QFETCH(QColor, yaziRengi);
    QFETCH(QColor, arkaRengi);
    Baslangic b;
    b.Form_Load();
    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, yazi);
    AyarDeposu::ayar_yaz(Anahtar::Arka, arka);
    const QByteArray once = storeBytes();
    b.menu()->color_Click();
    Renk *r = b.menu()->renkPenceresi();
    QCOMPARE(yuz(r, "Command1"), yaziRengi);
    QCOMPARE(yuz(r, "Command2"), arkaRengi);
    auto *onizleme = child<QWidget>(r, "D_Arka");
    QCOMPARE(gorunen(onizleme, QPoint(onizleme->width() - 2, onizleme->height() - 2)), arkaRengi);
    auto *yaziEtiketi = child<QLabel>(r, "Yazi");
    QCOMPARE(yaziEtiketi->text(), QStringLiteral("00:00"));
    QCOMPARE(yaziEtiketi->palette().color(QPalette::WindowText), yaziRengi);
    QCOMPARE(storeBytes(), once);
}

void TestDialogs::renkSecimi_data()
{
    QTest::addColumn<QString>("dugme");
    QTest::addColumn<QList<QColor>>("secimler");
    QTest::addColumn<QColor>("beklenen");
    const QColor iptal;
    QTest::newRow("text: cancel first keeps the stored colour")
        << "Command1" << QList<QColor>{iptal} << QColor(128, 128, 128);
    QTest::newRow("text: red") << "Command1" << QList<QColor>{QColor(255, 0, 0)} << QColor(255, 0, 0);
    QTest::newRow("text: green, then cancel keeps green")
        << "Command1" << QList<QColor>{QColor(0, 255, 0), iptal} << QColor(0, 255, 0);
    QTest::newRow("text: two picks, the last counts")
        << "Command1" << QList<QColor>{QColor(1, 2, 3), QColor(200, 100, 50)} << QColor(200, 100, 50);
    QTest::newRow("background: cancel first keeps the stored colour")
        << "Command2" << QList<QColor>{iptal} << QColor(192, 192, 192);
    QTest::newRow("background: cancel twice keeps the stored colour")
        << "Command2" << QList<QColor>{iptal, iptal} << QColor(192, 192, 192);
    QTest::newRow("background: blue then cancel keeps blue")
        << "Command2" << QList<QColor>{QColor(0, 0, 255), iptal} << QColor(0, 0, 255);
}

void TestDialogs::renkSecimi()
{
    QFETCH(QString, dugme);
    QFETCH(QList<QColor>, secimler);
    QFETCH(QColor, beklenen);
    Baslangic b;
    b.Form_Load();
    // Stored colours that no row picks, so that every change shows.
    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, QStringLiteral("8421504"));
    AyarDeposu::ayar_yaz(Anahtar::Arka, QStringLiteral("12632256"));
    b.form1Kapat();
    b.ayarla();
    Form1 *saat = b.form1();
    b.menu()->color_Click();
    Renk *r = b.menu()->renkPenceresi();
    const bool yaziMi = dugme == QLatin1String("Command1");
    const QColor digerBaslangic = yaziMi ? QColor(192, 192, 192) : QColor(128, 128, 128);

    yanitlar = secimler;
    for (int i = 0; i < secimler.size(); ++i)
        QTest::mouseClick(child<QPushButton>(r, qPrintable(dugme)), Qt::LeftButton);
    QCOMPARE(sorulan, secimler.size());

    QCOMPARE(yuz(r, qPrintable(dugme)), beklenen);
    QCOMPARE(yuz(r, yaziMi ? "Command2" : "Command1"), digerBaslangic);
    auto *onizleme = child<QWidget>(r, "D_Arka");
    if (yaziMi)
        QCOMPARE(child<QLabel>(r, "Yazi")->palette().color(QPalette::WindowText), beklenen);
    else
        QCOMPARE(gorunen(onizleme, QPoint(onizleme->width() - 2, onizleme->height() - 2)), beklenen);
    // The clock keeps its colours until "&Tamam".
    QCOMPARE(b.form1(), saat);
    QCOMPARE(saatYaziRengi(saat), QColor(128, 128, 128));
    QCOMPARE(saat->palette().color(QPalette::Window), QColor(192, 192, 192));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::YaziRengi), QStringLiteral("8421504"));

    QTest::mouseClick(child<QPushButton>(r, "Command3"), Qt::LeftButton);
    const QString saklanan = QString::number(Sayi::bgr(beklenen));
    QCOMPARE(AyarDeposu::ayar_oku(yaziMi ? Anahtar::YaziRengi : Anahtar::Arka), saklanan);
    QCOMPARE(AyarDeposu::ayar_oku(yaziMi ? Anahtar::Arka : Anahtar::YaziRengi),
             yaziMi ? QStringLiteral("12632256") : QStringLiteral("8421504"));
}

void TestDialogs::renkOnayiSaatiYeniler()
{
    Baslangic b;
    b.Form_Load();
    // On a store holding one key, each key written later stands after it, in the order written.
    QFile::remove(AyarDeposu::dosyaYolu());
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, QStringLiteral("200"));
    QPointer<Form1> eski = b.form1();
    eski->move(5, 5);
    b.menu()->color_Click();
    QPointer<Renk> r = b.menu()->renkPenceresi();
    yanitlar = {QColor(255, 0, 0), QColor(0, 0, 255)};
    QTest::mouseClick(child<QPushButton>(r, "Command1"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(r, "Command2"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(r, "Command3"), Qt::LeftButton);

    QCOMPARE(storeKeyOrder(), (QStringList{Anahtar::Seffaflik, Anahtar::Arka, Anahtar::YaziRengi}));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::YaziRengi), QStringLiteral("255"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Arka), QStringLiteral("16711680"));
    Form1 *yeni = b.form1();
    QVERIFY(yeni && yeni != eski.data());
    QVERIFY(!eski->isVisible());
    QVERIFY(yeni->isVisible());
    QVERIFY(!r->isVisible());
    for (const char *ad : {"saat", "Label1", "dakika", "Label2", "saniye"})
        QCOMPARE(child<QLabel>(yeni, ad)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(yeni->palette().color(QPalette::Window), QColor(0, 0, 255));
    QCOMPARE(opaklik(yeni), 200);
    const QRect ekran = QApplication::primaryScreen()->geometry();
    QCOMPARE(yeni->pos(), QPoint(ekran.right() + 1 - Form1::Genislik,
                                 ekran.bottom() + 1 - Form1::Yukseklik - Form1::KoseBoslugu));
    QTRY_VERIFY(!eski && !r);
    QVERIFY(!b.menu()->renkPenceresi());
}

void TestDialogs::renkKapatmaKutusu()
{
    Baslangic b;
    b.Form_Load();
    Form1 *saat = b.form1();
    const QByteArray once = storeBytes();
    b.menu()->color_Click();
    QPointer<Renk> r = b.menu()->renkPenceresi();
    yanitlar = {QColor(255, 0, 0), QColor(0, 0, 255)};
    QTest::mouseClick(child<QPushButton>(r, "Command1"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(r, "Command2"), Qt::LeftButton);
    r->close();
    QTRY_VERIFY(!r);
    QCOMPARE(storeBytes(), once);
    QCOMPARE(b.form1(), saat);
    QCOMPARE(saatYaziRengi(saat), QColor(0, 255, 0));
    QCOMPARE(saat->palette().color(QPalette::Window), QColor(0, 0, 0));

    // Opened again: the stored colours; a cancel keeps them, a confirmed black is taken.
    b.menu()->color_Click();
    r = b.menu()->renkPenceresi();
    QCOMPARE(yuz(r, "Command1"), QColor(0, 255, 0));
    yanitlar = {QColor(), QColor(0, 0, 0)};
    sorulan = 0;
    QTest::mouseClick(child<QPushButton>(r, "Command1"), Qt::LeftButton);
    QCOMPARE(yuz(r, "Command1"), QColor(0, 255, 0));
    QTest::mouseClick(child<QPushButton>(r, "Command1"), Qt::LeftButton);
    QCOMPARE(yuz(r, "Command1"), QColor(0, 0, 0));
}

void TestDialogs::seffaflikYukleme_data()
{
    QTest::addColumn<QString>("saklanan");
    QTest::addColumn<int>("deger");
    QTest::newRow("default") << "255" << 255;
    QTest::newRow("middle") << "128" << 128;
    QTest::newRow("transparent") << "0" << 0;
    QTest::newRow("above the range") << "256" << 255;
    QTest::newRow("below the range") << "-1" << 255;
    QTest::newRow("not a number") << "yarım" << 255;
    QTest::newRow("empty") << "" << 255;
}

void TestDialogs::seffaflikYukleme()
{
    QFETCH(QString, saklanan);
    QFETCH(int, deger);
    Baslangic b;
    b.Form_Load();
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, saklanan);
    // Loading is not a move of the user: the clock keeps what it shows.
    b.form1()->setWindowOpacity(40 / 255.0);
    const QByteArray once = storeBytes();
    b.menu()->seffaf_Click();
    Seffaflik *s = b.menu()->seffaflikPenceresi();
    auto *kaydirici = child<QSlider>(s, "Slider1");
    QCOMPARE(kaydirici->value(), deger);
    QCOMPARE(kaydirici->minimum(), 0);
    QCOMPARE(kaydirici->maximum(), 255);
    QCOMPARE(s->focusWidget(), kaydirici);
    QCOMPARE(opaklik(b.form1()), 40);
    QCOMPARE(storeBytes(), once);
}

void TestDialogs::kaydiriciTuslari_data()
{
    QTest::addColumn<int>("tus");
    QTest::addColumn<int>("deger");
    QTest::newRow("right arrow") << int(Qt::Key_Right) << 101;
    QTest::newRow("left arrow") << int(Qt::Key_Left) << 99;
    QTest::newRow("up arrow") << int(Qt::Key_Up) << 101;
    QTest::newRow("down arrow") << int(Qt::Key_Down) << 99;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 105;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 95;
    QTest::newRow("home") << int(Qt::Key_Home) << 0;
    QTest::newRow("end") << int(Qt::Key_End) << 255;
}

void TestDialogs::kaydiriciTuslari()
{
    QFETCH(int, tus);
    QFETCH(int, deger);
    Baslangic b;
    b.Form_Load();
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, QStringLiteral("100"));
    const QByteArray once = storeBytes();
    b.menu()->seffaf_Click();
    auto *kaydirici = child<QSlider>(b.menu()->seffaflikPenceresi(), "Slider1");
    QTest::keyClick(kaydirici, Qt::Key(tus));
    QCOMPARE(kaydirici->value(), deger);
    // The clock is never shown fainter than 10 %; the slider keeps the user's value.
    QCOMPARE(opaklik(b.form1()), qMax<int>(deger, Module1::EnAzGorunen));
    // The same key again moves on from there.
    const int adim = deger - 100;
    QTest::keyClick(kaydirici, Qt::Key(tus));
    const int ikinci = qBound(0, deger + adim, 255);
    QCOMPARE(kaydirici->value(), ikinci);
    QCOMPARE(opaklik(b.form1()), qMax<int>(ikinci, Module1::EnAzGorunen));
    QCOMPARE(storeBytes(), once);
}

void TestDialogs::kaydiriciYeniSaateUygular()
{
    Baslangic b;
    b.Form_Load();
    b.menu()->seffaf_Click();
    auto *kaydirici = child<QSlider>(b.menu()->seffaflikPenceresi(), "Slider1");
    QTest::keyClick(kaydirici, Qt::Key_PageDown);
    QCOMPARE(opaklik(b.form1()), 250);
    // Another dialog rebuilds the clock meanwhile: the slider works on the new one.
    QPointer<Form1> eski = b.form1();
    b.form1Kapat();
    b.ayarla();
    QVERIFY(b.form1() != eski.data());
    QCOMPARE(opaklik(b.form1()), 255);
    QTest::keyClick(kaydirici, Qt::Key_Left);
    QCOMPARE(opaklik(b.form1()), 249);
    QCOMPARE(opaklik(eski), 250);
}

void TestDialogs::seffaflikOnayi()
{
    Baslangic b;
    b.Form_Load();
    QPointer<Form1> eski = b.form1();
    b.menu()->seffaf_Click();
    QPointer<Seffaflik> s = b.menu()->seffaflikPenceresi();
    auto *kaydirici = child<QSlider>(s, "Slider1");
    // Dragged to the middle.
    kaydirici->setSliderDown(true);
    kaydirici->setSliderPosition(128);
    QCOMPARE(opaklik(eski), 128);
    kaydirici->setSliderDown(false);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("255"));

    QTest::mouseClick(child<QPushButton>(s, "Command1"), Qt::LeftButton);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("128"));
    QVERIFY(b.form1() && b.form1() != eski.data());
    QCOMPARE(opaklik(b.form1()), 128);
    QVERIFY(!s->isVisible());
    QTRY_VERIFY(!s && !eski);

    // Stored, so the next start shows it too; 0 stores "0".
    b.menu()->seffaf_Click();
    s = b.menu()->seffaflikPenceresi();
    QCOMPARE(child<QSlider>(s, "Slider1")->value(), 128);
    QTest::keyClick(child<QSlider>(s, "Slider1"), Qt::Key_Home);
    QTest::mouseClick(child<QPushButton>(s, "Command1"), Qt::LeftButton);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("0"));
    QCOMPARE(opaklik(b.form1()), Module1::EnAzGorunen);
}

void TestDialogs::seffaflikKapatmaKutusu_data()
{
    QTest::addColumn<QString>("saklanan");
    QTest::addColumn<int>("tus");
    QTest::addColumn<int>("deneme");
    QTest::addColumn<int>("kapaninca");
    QTest::newRow("default, moved down") << "255" << int(Qt::Key_PageDown) << 250 << 255;
    QTest::newRow("stored 0, moved to the end") << "0" << int(Qt::Key_End) << 255 << 26;
    QTest::newRow("above the range, moved home") << "300" << int(Qt::Key_Home) << 26 << 255;
}

void TestDialogs::seffaflikKapatmaKutusu()
{
    QFETCH(QString, saklanan);
    QFETCH(int, tus);
    QFETCH(int, deneme);
    QFETCH(int, kapaninca);
    Baslangic b;
    b.Form_Load();
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, saklanan);
    b.form1Kapat();
    b.ayarla();
    const QByteArray once = storeBytes();
    b.menu()->seffaf_Click();
    QPointer<Seffaflik> s = b.menu()->seffaflikPenceresi();
    QTest::keyClick(child<QSlider>(s, "Slider1"), Qt::Key(tus));
    QCOMPARE(opaklik(b.form1()), deneme);
    s->close();
    QTRY_VERIFY(!s);
    QCOMPARE(storeBytes(), once);
    // The clock shows the stored opacity again, as one built anew would.
    QCOMPARE(opaklik(b.form1()), kapaninca);
    b.form1Kapat();
    b.ayarla();
    QCOMPARE(opaklik(b.form1()), kapaninca);
}

void TestDialogs::zamanlayiciGidisDonus_data()
{
    QTest::addColumn<QString>("saat");
    QTest::addColumn<QString>("dakika");
    QTest::addColumn<QString>("baslik");
    QTest::addColumn<QString>("metin");
    QTest::newRow("Turkish letters") << "12"
                                     << "30"
                                     << "Çay molası"
                                     << "Öğle: şişe, ılık süt, ğ İ";
    QTest::newRow("one-character hour") << "7"
                                        << "30"
                                        << "Uyan"
                                        << "Kalk";
    QTest::newRow("emptied minute") << "08"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("letters as hour") << "ab"
                                     << "cd"
                                     << "  boşluklu  "
                                     << "=[x]=";
}

void TestDialogs::zamanlayiciGidisDonus()
{
    QFETCH(QString, saat);
    QFETCH(QString, dakika);
    QFETCH(QString, baslik);
    QFETCH(QString, metin);
    Baslangic b;
    b.Form_Load();
    b.menu()->zaman_Click();
    QPointer<Zamanlayici> z = b.menu()->zamanlayiciPenceresi();
    const QStringList kutular = {"Text3", "Text4", "Text1", "Text2"};
    const QStringList ilk = {"00", "00", "", ""};
    const QStringList girilen = {saat, dakika, baslik, metin};
    for (int i = 0; i < 4; ++i) {
        auto *t = child<QLineEdit>(z, qPrintable(kutular[i]));
        QCOMPARE(t->text(), ilk[i]);
        t->selectAll();
        QTest::keyClick(t, Qt::Key_Backspace);
        yaz(t, girilen[i]);
        QCOMPARE(t->text(), girilen[i]);
    }
    // On an empty store each key stands where it was first written.
    QFile::remove(AyarDeposu::dosyaYolu());
    QTest::mouseClick(child<QPushButton>(z, "Command1"), Qt::LeftButton);
    QCOMPARE(storeKeyOrder(),
             (QStringList{Anahtar::Zaman1, Anahtar::Zaman2, Anahtar::Baslik, Anahtar::Metin}));
    const QStringList anahtarlar = {Anahtar::Zaman1, Anahtar::Zaman2, Anahtar::Baslik, Anahtar::Metin};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(AyarDeposu::ayar_oku(anahtarlar[i]), girilen[i]);
    QTRY_VERIFY(!z);

    b.menu()->zaman_Click();
    z = b.menu()->zamanlayiciPenceresi();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(child<QLineEdit>(z, qPrintable(kutular[i]))->text(), girilen[i]);
}

void TestDialogs::saatKutusuSiniri_data()
{
    QTest::addColumn<QString>("saklanan");
    QTest::addColumn<QString>("tuslar");
    QTest::addColumn<QString>("beklenen");
    // In the key column "<" is a backspace and "*" selects all.
    QTest::newRow("typing stops at two") << "00"
                                         << "*123"
                                         << "12";
    QTest::newRow("a full box takes nothing") << "00"
                                              << "5"
                                              << "00";
    QTest::newRow("long stored text shown whole") << "12345"
                                                  << ""
                                                  << "12345";
    QTest::newRow("long text takes nothing more") << "12345"
                                                  << "9"
                                                  << "12345";
    QTest::newRow("long text shortened takes nothing more") << "12345"
                                                            << "<9"
                                                            << "1234";
    QTest::newRow("long text replaced by two") << "12345"
                                               << "*789"
                                               << "78";
    QTest::newRow("long text cut down, then two typed") << "ab cd"
                                                        << "<<<<<xyz"
                                                        << "xy";
    QTest::newRow("absent key opens empty") << QString() << ""
                                            << "";
}

void TestDialogs::saatKutusuSiniri()
{
    QFETCH(QString, saklanan);
    QFETCH(QString, tuslar);
    QFETCH(QString, beklenen);
    Baslangic b;
    b.Form_Load();
    AyarDeposu::ayar_yaz(Anahtar::Zaman1, saklanan);
    AyarDeposu::ayar_yaz(Anahtar::Zaman2, saklanan);
    if (saklanan.isNull()) QFile::remove(AyarDeposu::dosyaYolu());
    b.menu()->zaman_Click();
    Zamanlayici *z = b.menu()->zamanlayiciPenceresi();
    for (const char *ad : {"Text3", "Text4"}) {
        auto *t = child<QLineEdit>(z, ad);
        QCOMPARE(t->text(), saklanan);
        t->end(false);
        for (QChar c : tuslar) {
            if (c == QLatin1Char('<'))
                QTest::keyClick(t, Qt::Key_Backspace);
            else if (c == QLatin1Char('*'))
                QTest::keyClick(t, Qt::Key_A, Qt::ControlModifier);
            else
                yaz(t, QString(c));
        }
        QCOMPARE(t->text(), beklenen);
    }
    QTest::mouseClick(child<QPushButton>(z, "Command1"), Qt::LeftButton);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Zaman1), beklenen);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Zaman2), beklenen);
}

void TestDialogs::zamanlayiciKapatmaKutusu()
{
    Baslangic b;
    b.Form_Load();
    const QByteArray once = storeBytes();
    b.menu()->zaman_Click();
    QPointer<Zamanlayici> z = b.menu()->zamanlayiciPenceresi();
    yaz(child<QLineEdit>(z, "Text1"), QStringLiteral("Toplantı"));
    QTest::keyClick(child<QLineEdit>(z, "Text3"), Qt::Key_Backspace);
    z->close();
    QTRY_VERIFY(!z);
    QCOMPARE(storeBytes(), once);
    b.menu()->zaman_Click();
    QCOMPARE(child<QLineEdit>(b.menu()->zamanlayiciPenceresi(), "Text1")->text(), QString());
    QCOMPARE(child<QLineEdit>(b.menu()->zamanlayiciPenceresi(), "Text3")->text(), QStringLiteral("00"));
}

void TestDialogs::seciciKendiRengindeAcilir()
{
    // The platform's own chooser, not the test's answers.
    m_renkYaniti.reset();
    Baslangic b;
    b.Form_Load();
    b.menu()->color_Click();
    Renk *r = b.menu()->renkPenceresi();
    auto *dugme = child<QPushButton>(r, "Command1");
    // One opening: notes the colour the chooser shows, picks one unless told to leave it, confirms
    // or cancels.
    auto ac = [&](const QColor &secim, bool onay = true) {
        QColor acilis;
        QTimer::singleShot(0, r, [&] {
            auto *secici = r->findChild<QColorDialog *>();
            if (!secici)
                return; // the opening's colour stays invalid: the comparison fails
            acilis = secici->currentColor();
            if (secim.isValid())
                secici->setCurrentColor(secim);
            onay ? secici->accept() : secici->reject();
        });
        QTest::mouseClick(dugme, Qt::LeftButton);
        return acilis;
    };
    // A cancel, even after picking, leaves the swatch as it was.
    QCOMPARE(ac(QColor(Qt::blue), false), QColor(Qt::black));
    QCOMPARE(yuz(r, "Command1"), QColor(0, 255, 0));
    // A new dialog's chooser opens at black, and OK untouched keeps black.
    QCOMPARE(ac(QColor()), QColor(Qt::black));
    QCOMPARE(yuz(r, "Command1"), QColor(Qt::black));
    QCOMPARE(ac(QColor(Qt::red)), QColor(Qt::black));
    // Afterwards at its last confirmed choice.
    QCOMPARE(ac(QColor()), QColor(Qt::red));
    QCOMPARE(yuz(r, "Command1"), QColor(Qt::red));
}

void TestDialogs::uyariZamani_data()
{
    QTest::addColumn<QStringList>("girilen"); // hour, minute, title, text as typed and confirmed
    QTest::addColumn<int>("uykuMs");          // the machine sleeps this long right after
    QTest::addColumn<int>("ileriDk");         // then the clock runs on this many minutes
    QTest::addColumn<int>("kez");             // how often the reminder came
    QTest::addColumn<QString>("pencere");     // the title of its window
    // The clock stands at 10:20:30.
    QTest::newRow("a minute ahead") << QStringList{"10", "21", "Toplantı", "Oda 3"} << 0 << 1 << 1 << "Toplantı";
    QTest::newRow("without a title") << QStringList{"10", "21", "", "Süt al"} << 0 << 1 << 1 << "Zamanlayıcı";
    QTest::newRow("one digit each, raised every day once") << QStringList{"9", "5", "Koş", ""} << 0 << 2 * 1440
                                                          << 2 << "Koş";
    QTest::newRow("midnight") << QStringList{"00", "00", "Gece", ""} << 0 << 840 << 1 << "Gece";
    QTest::newRow("first-run values") << QStringList{"00", "00", "", ""} << 0 << 1440 << 0 << "";
    QTest::newRow("hour 24") << QStringList{"24", "00", "x", "y"} << 0 << 1440 << 0 << "";
    QTest::newRow("minute 60") << QStringList{"10", "60", "x", "y"} << 0 << 1440 << 0 << "";
    QTest::newRow("letters") << QStringList{"ab", "cd", "x", "y"} << 0 << 1440 << 0 << "";
    QTest::newRow("a minute already past waits a day") << QStringList{"10", "20", "x", ""} << 0 << 1439 << 0 << "";
    QTest::newRow("missed in sleep by 10 minutes") << QStringList{"10", "30", "Uyku", ""} << 20 * 60000 << 0 << 1
                                                   << "Uyku";
    QTest::newRow("missed in sleep by 16 minutes") << QStringList{"10", "25", "Uyku", ""} << 20 * 60000 << 0 << 0
                                                   << "";
}

void TestDialogs::uyariZamani()
{
    QFETCH(QStringList, girilen);
    QFETCH(int, uykuMs);
    QFETCH(int, ileriDk);
    QFETCH(int, kez);
    QFETCH(QString, pencere);
    RecordingSound ses(m_saat.get());
    Baslangic b;
    b.Form_Load();
    b.menu()->zaman_Click();
    Zamanlayici *z = b.menu()->zamanlayiciPenceresi();
    const char *kutular[] = {"Text3", "Text4", "Text1", "Text2"};
    for (int i = 0; i < 4; ++i)
        child<QLineEdit>(z, kutular[i])->setText(girilen[i]);
    QTest::mouseClick(child<QPushButton>(z, "Command1"), Qt::LeftButton);
    if (uykuMs)
        m_saat->stall(uykuMs);
    for (int dk = 0; dk < ileriDk; ++dk)
        m_saat->advance(60000);
    m_saat->advance(10000);
    // Each time the time is spoken once, from the opening word on.
    int okunan = 0;
    for (const auto &c : ses.played)
        okunan += c.path.endsWith(QLatin1String("/Saat.wav"));
    QCOMPARE(okunan, kez);
    QCOMPARE(bool(b.uyari()), kez > 0);
    if (!b.uyari())
        return;
    QCOMPARE(b.uyari()->windowTitle(), pencere);
    QCOMPARE(child<QLabel>(b.uyari(), "Label1")->text(), girilen[3]);
    QVERIFY(b.uyari()->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(b.uyari()->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    QTest::mouseClick(child<QPushButton>(b.uyari(), "Command1"), Qt::LeftButton);
    QTRY_VERIFY(!b.uyari());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
