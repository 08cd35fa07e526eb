// Broken and unwritable settings stores: the program starts, shows its clock and never leaves a torn
// file. Stores that cannot be written run in a child process: as an unprivileged user, since root
// writes anywhere, and with a file size limit for a full disk.
#include "clock/form1.h"
#include "dialogs/menu.h"
#include "dialogs/renk.h"
#include "dialogs/seffaflik.h"
#include "dialogs/zamanlayici.h"
#include "helpers.h"
#include "mockclock.h"
#include "platform/colorchooser.h"
#include "scopederrorbox.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the user sees of the clock.
struct Gorunen
{
    bool gorunur = false;
    int yazi = -1;
    int arka = -1;
    int opaklik = -1;
};

Gorunen gorunen(Baslangic &b)
{
    Gorunen g;
    Form1 *f = b.form1();
    if (!f)
        return g;
    g.gorunur = f->isVisible();
    g.yazi = Sayi::bgr(f->findChild<QLabel *>(QStringLiteral("saat"))->palette().color(QPalette::WindowText));
    g.arka = Sayi::bgr(f->palette().color(QPalette::Window));
    g.opaklik = qRound(f->windowOpacity() * 255);
    return g;
}

QString metin(const Gorunen &g)
{
    return QStringLiteral("visible=%1 text=%2 back=%3 opacity=%4").arg(g.gorunur).arg(g.yazi).arg(g.arka).arg(g.opaklik);
}

// A literal with its NULs.
template <std::size_t N> QByteArray bayt(const char (&s)[N])
{
    return QByteArray(s, N - 1);
}

void dosyaYaz(const QByteArray &icerik)
{
    QDir().mkpath(QFileInfo(AyarDeposu::dosyaYolu()).absolutePath());
    QFile f(AyarDeposu::dosyaYolu());
    if (!f.open(QIODevice::WriteOnly) || f.write(icerik) != icerik.size())
        qFatal("cannot prepare the store");
}

Seffaflik *seffaflikAc(Baslangic &b)
{
    b.menu()->seffaf_Click();
    return b.menu()->seffaflikPenceresi();
}

void seffaflikOnayla(Baslangic &b, int deger)
{
    Seffaflik *s = seffaflikAc(b);
    s->findChild<QSlider *>(QStringLiteral("Slider1"))->setValue(deger);
    s->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void renkOnayla(Baslangic &b)
{
    b.menu()->color_Click();
    b.menu()->renkPenceresi()->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The child's part: start, report what the clock shows, confirm the transparency dialog with 77,
// report again. Run with the store prepared by the parent; a size limit in bytes stands for the
// room left on the disk.
int cocuk(qint64 sinir)
{
    MockClock saat(QTime(12, 0));
    ScopedErrorBox kutu;
    Baslangic b;
    b.Form_Load();
    QTextStream out(stdout);
    out << "start " << metin(gorunen(b)) << '\n';
    if (sinir >= 0) {
        // A write past the limit fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r;
        getrlimit(RLIMIT_FSIZE, &r);
        r.rlim_cur = rlim_t(sinir);
        if (setrlimit(RLIMIT_FSIZE, &r) != 0)
            return 3;
    }
    // What stderr says from here on belongs to the confirm.
    std::fputs("onay:\n", stderr);
    std::fflush(stderr);
    seffaflikOnayla(b, 77);
    out << "after " << metin(gorunen(b)) << '\n';
    out << "stored " << AyarDeposu::ayar_oku(Anahtar::Seffaflik) << '\n';
    out << "box " << kutu.shown.join(QLatin1Char('|')) << '\n';
    out << "dialog open " << (b.menu()->seffaflikPenceresi() != nullptr) << '\n';
    return 0;
}

const QByteArray kullaniciDeposu = QByteArrayLiteral("[Velmora V.2.0]\nAyar=1\nYazı Rengi=255\nŞeffaflık=200\n"
                                                     "Dil=Türkçe\nOkuma Dili=Türkçe\nZaman1=07\nZaman2=30\n"
                                                     "Başlık=Çay\nMetin=Demle\nArka=16711680\n");
// What the user chose in it: red digits on blue, 200 opaque.
constexpr int kullaniciYazi = 255, kullaniciArka = 16711680, kullaniciOpaklik = 200;

// The reminder of one confirm: the same clock and round in all four boxes (hour, minute, title, text).
QStringList hatirlatma(const QString &saat, const QString &tur)
{
    return {tur, saat, saat + QLatin1Char(' ') + tur,
            QStringLiteral("Metin ") + saat + QLatin1Char(' ') + tur};
}

// The reminder as the file holds it at one moment. The dialog reads its four keys one at a time, and
// the other clock may write in between.
QStringList depodakiHatirlatma()
{
    QHash<QString, QString> degerler;
    for (const QString &satir : QString::fromUtf8(storeBytes()).split(QLatin1Char('\n')))
        degerler.insert(satir.section(QLatin1Char('='), 0, 0), satir.section(QLatin1Char('='), 1));
    return {degerler[Anahtar::Zaman1], degerler[Anahtar::Zaman2], degerler[Anahtar::Baslik],
            degerler[Anahtar::Metin]};
}

// One of two clocks confirming at once. Clock "a" alone sets the opacity, so each loading of the
// transparency dialog must show what it confirmed last; both confirm the reminder, so the store must
// hold one confirm's reminder whole at any moment. The dialogs are made once and used again each
// round, so that the rounds are mostly reading and writing the store.
int yarisan(const QString &saat, int adet)
{
    ScopedErrorBox kutu;
    Seffaflik s;
    Zamanlayici z;
    auto *kaydirac = s.findChild<QSlider *>(QStringLiteral("Slider1"));
    QList<QLineEdit *> kutular;
    for (const char *ad : {"Text3", "Text4", "Text1", "Text2"})
        kutular << z.findChild<QLineEdit *>(QLatin1String(ad));
    std::puts("hazir");
    std::fflush(stdout);
    char satir[8];
    if (!std::fgets(satir, sizeof satir, stdin))
        return 2;
    int bozuk = 0;
    for (int tur = 0; tur < adet; ++tur) {
        if (saat == QLatin1String("a")) {
            s.Form_Load();
            if (kaydirac->value() != (tur == 0 ? kullaniciOpaklik : tur)) {
                std::printf("lost in round %d: opacity %d\n", tur, kaydirac->value());
                ++bozuk;
            }
            kaydirac->setValue(tur + 1);
            s.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        }
        const QStringList gorunen = depodakiHatirlatma();
        const QStringList ilk = {"07", "30", "Çay", "Demle"};
        if (gorunen != ilk && gorunen != hatirlatma(gorunen[1], gorunen[0])) {
            std::printf("mixed in round %d: %s\n", tur, qUtf8Printable(gorunen.join(QLatin1Char('|'))));
            ++bozuk;
        }
        const QStringList yeni = hatirlatma(saat, QString::number(tur).rightJustified(2, QLatin1Char('0')));
        for (int k = 0; k < 4; ++k)
            kutular[k]->setText(yeni[k]);
        z.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    }
    for (const QString &k : kutu.shown)
        std::printf("box: %s\n", qUtf8Printable(k));
    std::printf("done %d\n", bozuk + int(kutu.shown.size()));
    return 0;
}

} // namespace

class TestBozukDepo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_xdg);
        QFile::remove(AyarDeposu::dosyaYolu());
        m_saat = std::make_unique<MockClock>(QTime(12, 0));
    }
    void cleanup()
    {
        m_saat.reset();
        qputenv("XDG_CONFIG_HOME", m_xdg);
    }

    void bozukDosyaylaBaslar_data();
    void bozukDosyaylaBaslar();
    void buyukDegerKorunur();
    void yolDosyadanGecer();
    void calisirkenSilinen_data();
    void calisirkenSilinen();
    void yazilamayanDepo_data();
    void yazilamayanDepo();
    void ikiSaatAyniAnda();

private:
    std::unique_ptr<MockClock> m_saat;
    const QByteArray m_xdg = qgetenv("XDG_CONFIG_HOME");
};

void TestBozukDepo::bozukDosyaylaBaslar_data()
{
    QTest::addColumn<QByteArray>("icerik");
    // The first-run path rewrites the defaults; the normal path writes nothing.
    QTest::addColumn<bool>("ilkCalisma");
    QTest::addColumn<int>("yazi");
    QTest::addColumn<int>("arka");
    QTest::addColumn<int>("opaklik");

    QByteArray rastgele(64 * 1024, 0);
    QRandomGenerator r(5);
    for (char &c : rastgele)
        c = char(r.bounded(256));
    const int vy = Sayi::varsayilanYaziRengi, va = Sayi::varsayilanArka, vs = Sayi::varsayilanSeffaflik;
    const int ky = kullaniciYazi, ka = kullaniciArka, ks = kullaniciOpaklik;

    QTest::newRow("empty file") << QByteArray() << true << vy << va << vs;
    QTest::newRow("random binary") << rastgele << true << vy << va << vs;
    QTest::newRow("random binary after a good store") << kullaniciDeposu + rastgele << false << ky << ka << ks;
    QTest::newRow("huge line without newline") << QByteArray(2 << 20, 'A') << true << vy << va << vs;
    QTest::newRow("good store ending in a huge line") << kullaniciDeposu + "Metin2=" + QByteArray(2 << 20, 'x')
                                                      << false << ky << ka << ks;
    QTest::newRow("invalid UTF-8 in the reminder")
        << QByteArray(kullaniciDeposu).replace("Demle", "\xff\xfe\xc3(\xed\xa0\x80") << false << ky << ka << ks;
    QTest::newRow("invalid UTF-8 in a key name")
        << QByteArray(kullaniciDeposu).replace("Arka=", "Ar\xffka=") << false << ky << va << ks;
    QTest::newRow("NUL in the marker")
        << QByteArray(kullaniciDeposu).replace("Ayar=1", bayt("Ayar=1\0")) << true << vy << va << vs;
    QTest::newRow("NULs as the colour")
        << QByteArray(kullaniciDeposu).replace("Yazı Rengi=255", bayt("Yazı Rengi=\0\0\0")) << false << vy
        << ka << ks;
    QTest::newRow("NULs between the lines")
        << QByteArray(kullaniciDeposu).replace("\nDil", bayt("\n\0\0\0\n\0Dil")) << false << ky << ka << ks;
    QTest::newRow("cut off inside a value") << kullaniciDeposu.left(kullaniciDeposu.indexOf("Arka=") + 6) << false
                                            << ky << 1 << ks;
    QTest::newRow("Windows line ends") << QByteArray(kullaniciDeposu).replace("\n", "\r\n") << false << ky << ka
                                       << ks;
    QTest::newRow("byte order mark") << "\xef\xbb\xbf" + kullaniciDeposu << false << ky << ka << ks;
    QTest::newRow("numbers out of range")
        << QByteArray(kullaniciDeposu)
               .replace("Yazı Rengi=255", "Yazı Rengi=99999999999")
               .replace("Şeffaflık=200", "Şeffaflık=-40000")
               .replace("Arka=16711680", "Arka=-1")
        << false << vy << va << vs;
}

void TestBozukDepo::bozukDosyaylaBaslar()
{
    QFETCH(QByteArray, icerik);
    QFETCH(bool, ilkCalisma);
    QFETCH(int, yazi);
    QFETCH(int, arka);
    QFETCH(int, opaklik);
    dosyaYaz(icerik);
    Baslangic b;
    b.Form_Load();
    const Gorunen g = gorunen(b);
    QVERIFY2(g.gorunur, qPrintable(metin(g)));
    QCOMPARE(g.yazi, yazi);
    QCOMPARE(g.arka, arka);
    QCOMPARE(g.opaklik, opaklik);
    if (!ilkCalisma) {
        QCOMPARE(storeBytes(), icerik);
    } else {
        // The defaults are in, each key once; what was no store stays in the file as it was.
        for (const Anahtar::IlkDeger &d : Anahtar::ilkDegerler) {
            QCOMPARE(AyarDeposu::ayar_oku(d.anahtar), d.deger);
            QCOMPARE(storeBytes().count(("\n" + d.anahtar + QLatin1Char('=')).toUtf8()), 1);
        }
        if (!icerik.contains("[Velmora"))
            QVERIFY(storeBytes().startsWith(icerik));
    }
    // A confirm rewrites the store whole: what it could read is kept, only the one value changes.
    const QString baslik = AyarDeposu::ayar_oku(Anahtar::Baslik);
    seffaflikOnayla(b, 90);
    QCOMPARE(gorunen(b).opaklik, 90);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("90"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Baslik), baslik);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QStringLiteral("1"));
}

void TestBozukDepo::buyukDegerKorunur()
{
    // A 1 MB reminder text and a title past a text box's usual 32767 characters survive start-up,
    // confirms of the other dialogs and of the reminder dialog itself, byte for byte.
    QString buyuk;
    for (int i = 0; buyuk.size() < (1 << 20); ++i)
        buyuk += QStringLiteral("Öğle %1 çayı; ").arg(i);
    const QString baslik = QString(40000, u'ş') + QStringLiteral("son");
    dosyaYaz(kullaniciDeposu);
    AyarDeposu::ayarlari_yaz({{Anahtar::Metin, buyuk}, {Anahtar::Baslik, baslik}});
    Baslangic b;
    b.Form_Load();
    QCOMPARE(gorunen(b).yazi, kullaniciYazi);
    renkOnayla(b);
    seffaflikOnayla(b, 100);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Metin), buyuk);
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("100"));
    QVERIFY(b.form1()->isVisible());
    b.menu()->zaman_Click();
    Zamanlayici *z = b.menu()->zamanlayiciPenceresi();
    QCOMPARE(z->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), baslik);
    QVERIFY(z->findChild<QLineEdit *>(QStringLiteral("Text2"))->text() == buyuk);
    z->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Baslik), baslik);
    QVERIFY(AyarDeposu::ayar_oku(Anahtar::Metin) == buyuk);
}

void TestBozukDepo::yolDosyadanGecer()
{
    // The config folder lies below a plain file: nothing can be created there, not even by root.
    QTemporaryDir d;
    QFile engel(d.filePath(QStringLiteral("dosya")));
    QVERIFY(engel.open(QIODevice::WriteOnly));
    engel.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(d.filePath(QStringLiteral("dosya/config"))));
    // The defaults at the start, in one write, and one confirm.
    for (int i = 0; i < 2; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not write")));
    Baslangic b;
    b.Form_Load();
    const Gorunen g = gorunen(b);
    QVERIFY2(g.gorunur, qPrintable(metin(g)));
    QCOMPARE(g.yazi, Sayi::varsayilanYaziRengi);
    QCOMPARE(g.opaklik, Sayi::varsayilanSeffaflik);
    // The choice cannot be kept: the user is told, the dialog stays open with the choice, and the
    // clock, not rebuilt, keeps the opacity the slider gave it.
    ScopedErrorBox kutu;
    seffaflikOnayla(b, 60);
    QCOMPARE(kutu.shown,
             QStringList{QStringLiteral("Şeffaflık Ayarı: Ayar kaydedilemedi: dosyaya yazılamadı.")});
    QVERIFY(b.menu()->seffaflikPenceresi());
    QVERIFY(b.form1() && b.form1()->isVisible());
    QCOMPARE(gorunen(b).opaklik, 60);
    QVERIFY(!QFileInfo::exists(AyarDeposu::dosyaYolu()));
}

void TestBozukDepo::calisirkenSilinen_data()
{
    QTest::addColumn<bool>("klasorde");
    QTest::newRow("file deleted") << false;
    QTest::newRow("config folder deleted") << true;
}

void TestBozukDepo::calisirkenSilinen()
{
    QFETCH(bool, klasorde);
    dosyaYaz(kullaniciDeposu);
    Baslangic b;
    b.Form_Load();
    QCOMPARE(gorunen(b).yazi, kullaniciYazi);
    if (klasorde)
        QVERIFY(QDir(QFileInfo(AyarDeposu::dosyaYolu()).absolutePath()).removeRecursively());
    else
        QVERIFY(QFile::remove(AyarDeposu::dosyaYolu()));
    // The clock goes on as it was; the next confirm makes a new store holding what it wrote.
    m_saat->advance(5000);
    QVERIFY(b.form1()->isVisible());
    QCOMPARE(gorunen(b).yazi, kullaniciYazi);
    seffaflikOnayla(b, 123);
    QCOMPARE(gorunen(b).opaklik, 123);
    QCOMPARE(storeBytes(), QByteArray("[Velmora V.2.0]\nŞeffaflık=123\n"));
    // The other settings are gone with the file: the rebuilt clock shows the defaults for them.
    QCOMPARE(gorunen(b).yazi, Sayi::varsayilanYaziRengi);
}

void TestBozukDepo::yazilamayanDepo_data()
{
    QTest::addColumn<QString>("durum");
    QTest::addColumn<qint64>("sinir");
    QTest::addColumn<QString>("beklenenBaslangic");
    QTest::addColumn<QString>("beklenenDeger");
    // The reason on stderr and the box the user sees; none for a confirm that was stored.
    QTest::addColumn<QString>("uyari");
    QTest::addColumn<QString>("kutu");
    const QString kullanici = QStringLiteral("visible=1 text=255 back=16711680 opacity=200");
    const QString varsayilan = QStringLiteral("visible=1 text=65280 back=0 opacity=255");
    const QString dolu = QStringLiteral("Ayar kaydedilemedi: disk dolu.");
    const QString izin = QStringLiteral("Ayar kaydedilemedi: erişim izni yok.");
    const QString diger = QStringLiteral("Ayar kaydedilemedi: dosyaya yazılamadı.");
    QTest::newRow("disk full, 0 bytes free") << "writable" << 0LL << kullanici << "200"
                                             << "disk full" << dolu;
    QTest::newRow("disk full, 100 bytes free") << "writable" << 100LL << kullanici << "200"
                                               << "disk full" << dolu;
    QTest::newRow("disk full, 4 KB free") << "writable" << 4096LL << kullanici << "200"
                                          << "disk full" << dolu;
    QTest::newRow("read-only file") << "readonly-file" << -1LL << kullanici << "200"
                                    << "no permission" << izin;
    QTest::newRow("read-only folder") << "readonly-folder" << -1LL << kullanici << "200"
                                      << "no permission" << izin;
    QTest::newRow("empty read-only folder") << "empty-readonly-folder" << -1LL << varsayilan << ""
                                            << "no permission" << izin;
    QTest::newRow("unreadable file") << "unreadable-file" << -1LL << varsayilan << ""
                                     << "no permission" << izin;
    QTest::newRow("dangling link, no folder for its target") << "dangling-link" << -1LL << varsayilan << ""
                                                             << "error" << diger;
    QTest::newRow("dangling link into a folder") << "link-into-folder" << -1LL << varsayilan << "77" << ""
                                                 << "";
    QTest::newRow("writable (control)") << "writable" << -1LL << kullanici << "77" << "" << "";
    QTest::newRow("a FIFO") << "fifo" << -1LL << varsayilan << "" << "error" << diger;
    QTest::newRow("a link to /dev/zero") << "zero-device" << -1LL << varsayilan << "" << "no permission"
                                         << izin;
    QTest::newRow("new files of killed writers beside it") << "stale-new-files" << -1LL << kullanici << "77"
                                                          << "" << "";
    QTest::newRow("relative XDG_CONFIG_HOME") << "relative-xdg" << -1LL << kullanici << "77" << "" << "";
}

void TestBozukDepo::yazilamayanDepo()
{
    QFETCH(QString, durum);
    QFETCH(qint64, sinir);
    QFETCH(QString, beklenenBaslangic);
    QFETCH(QString, beklenenDeger);
    QFETCH(QString, uyari);
    QFETCH(QString, kutu);

    // Root ignores permission bits: the child drops to "nobody" for them to count.
    const bool kok = geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (kok && setpriv.isEmpty())
        QSKIP("running as root without setpriv (util-linux)");
    const uid_t kim = kok ? 65534 : geteuid();

    QTemporaryDir d(QDir::tempPath() + QStringLiteral("/velmora-yetki-XXXXXX"));
    QVERIFY(d.isValid());
    QFile::setPermissions(d.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadOther | QFileDevice::ExeOther);
    // A relative XDG_CONFIG_HOME counts for nothing: the store is the one in ~/.config.
    const bool goreli = durum == QLatin1String("relative-xdg");
    const QString klasor = d.filePath(goreli ? QStringLiteral(".config") : QStringLiteral("config"));
    const bool ozel = durum == QLatin1String("fifo") || durum == QLatin1String("zero-device");
    const bool yazilabilir =
        durum == QLatin1String("writable") || durum == QLatin1String("stale-new-files") || goreli;
    QVERIFY(QDir().mkpath(klasor));
    const QString yol = klasor + QStringLiteral("/Orlenbay.ini");
    // A store of 9 KB, as a long reminder makes it: larger than the room left in the disk cases.
    const QByteArray depo = QByteArray(kullaniciDeposu).replace("Demle", QByteArray(9000, 'd'));
    const bool baglanti = durum.endsWith(QLatin1String("link")) || durum == QLatin1String("link-into-folder");
    const QString hedefKlasor = d.filePath(QStringLiteral("hedef"));
    const QString hedef = hedefKlasor + QStringLiteral("/Orlenbay.ini");
    if (baglanti) {
        QVERIFY(QFile::link(hedef, yol));
        if (durum == QLatin1String("link-into-folder")) {
            QVERIFY(QDir().mkpath(hedefKlasor));
            QVERIFY(::chown(qPrintable(hedefKlasor), kim, kim) == 0 || !kok);
        }
    } else if (durum == QLatin1String("fifo")) {
        QVERIFY(::mkfifo(qPrintable(yol), 0644) == 0);
    } else if (durum == QLatin1String("zero-device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), yol));
    } else if (durum != QLatin1String("empty-readonly-folder")) {
        QFile f(yol);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(depo);
    }
    if (durum == QLatin1String("stale-new-files")) {
        // Two left by killed writers, and a file of the user's own.
        const char *adlar[] = {"Orlenbay.ini.yeni-00a1b2c", "Orlenbay.ini.yeni-zzzzzzz", "Orlenbay.ini.bak"};
        for (const char *ad : adlar) {
            QFile f(klasor + QLatin1Char('/') + QLatin1String(ad));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    // The folder belongs to the child unless it is the read-only one; the file only when writable.
    const bool klasorOnun = !durum.contains(QLatin1String("readonly-folder"));
    QVERIFY(::chown(qPrintable(klasor), klasorOnun ? kim : 0, klasorOnun ? kim : 0) == 0 || !kok);
    const auto rx = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QFile::setPermissions(klasor, klasorOnun ? rx | QFileDevice::WriteOwner : rx);
    if (!baglanti && !ozel && QFileInfo::exists(yol)) {
        if (yazilabilir)
            QVERIFY(::chown(qPrintable(yol), kim, kim) == 0 || !kok);
        QFile::setPermissions(yol, durum == QLatin1String("unreadable-file") ? QFileDevice::Permissions()
                                   : yazilabilir
                                       ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                       : QFileDevice::ReadOwner | QFileDevice::ReadOther);
    }

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), goreli ? QStringLiteral("rel/conf") : klasor);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), d.path());
    env.insert(QStringLiteral("HOME"), d.path());
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(d.path());
    const QString ben = QCoreApplication::applicationFilePath();
    const QStringList cocukArg = {ben, QStringLiteral("--cocuk"), QString::number(sinir)};
    if (kok)
        p.start(setpriv, QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                     QStringLiteral("--clear-groups")} + cocukArg);
    else
        p.start(ben, cocukArg.mid(1));
    QVERIFY(p.waitForFinished(60000));
    const QString cikti = QString::fromUtf8(p.readAllStandardOutput());
    const QString hata = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(hata));
    const QStringList satirlar = cikti.split(QLatin1Char('\n'));
    QCOMPARE(satirlar.value(0), QStringLiteral("start ") + beklenenBaslangic);
    // Stored or not, the clock shows the opacity chosen: rebuilt from the store, or, when nothing
    // changed on disk, as the slider left it. A failed confirm keeps its dialog open for a retry.
    QString beklenenSonra = beklenenBaslangic;
    beklenenSonra.replace(QRegularExpression(QStringLiteral("opacity=\\d+$")), QStringLiteral("opacity=77"));
    QCOMPARE(satirlar.value(1), QStringLiteral("after ") + beklenenSonra);
    QCOMPARE(satirlar.value(2).trimmed(), (QStringLiteral("stored ") + beklenenDeger).trimmed());
    const QString beklenenKutu = kutu.isEmpty() ? QString() : QStringLiteral("Şeffaflık Ayarı: ") + kutu;
    QCOMPARE(satirlar.value(3).trimmed(), (QStringLiteral("box ") + beklenenKutu).trimmed());
    QCOMPARE(satirlar.value(4), QStringLiteral("dialog open %1").arg(!kutu.isEmpty()));
    // The confirm's failure, with its reason, on stderr.
    const QString onayda = hata.section(QStringLiteral("onay:\n"), 1);
    const QRegularExpression onayUyarisi(QStringLiteral("could not write \"Şeffaflık\" to .*: ") +
                                         QRegularExpression::escape(uyari) + QStringLiteral(" \\("));
    QVERIFY2(uyari.isEmpty() != onayda.contains(onayUyarisi), qPrintable(hata));
    QCOMPARE(onayda.contains(QLatin1String("could not write")), !uyari.isEmpty());
    // A start on a store it cannot keep says so once, not once for every default.
    QVERIFY2(hata.section(QStringLiteral("onay:\n"), 0, 0).count(QLatin1String("could not write")) <= 1,
             qPrintable(hata));
    if (ozel) {
        // Neither read nor replaced: still the FIFO, still the link.
        struct stat st;
        QVERIFY(::lstat(qPrintable(yol), &st) == 0);
        QVERIFY(durum == QLatin1String("fifo") ? S_ISFIFO(st.st_mode) : S_ISLNK(st.st_mode));
        const auto hepsi = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
        QCOMPARE(QDir(klasor).entryList(hepsi), QStringList{QStringLiteral("Orlenbay.ini")});
    }
    if (durum == QLatin1String("stale-new-files")) // ours go, the user's own stays
        QCOMPARE(QDir(klasor).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{QStringLiteral("Orlenbay.ini"), QStringLiteral("Orlenbay.ini.bak")}));
    if (goreli)
        QVERIFY(!QFileInfo::exists(d.filePath(QStringLiteral("rel"))));
    if (!uyari.isEmpty() && !baglanti && !ozel && QFileInfo::exists(yol)) {
        // Refused writes leave the file as it was, and nothing beside it.
        QFile::setPermissions(yol, QFileDevice::ReadOwner);
        QFile f(yol);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), depo);
        QCOMPARE(QDir(klasor).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Orlenbay.ini")});
    }
    if (baglanti) {
        // The link stays a link to the same place; the file is written through it, or not at all.
        QCOMPARE(QFileInfo(yol).symLinkTarget(), hedef);
        QCOMPARE(QDir(hedefKlasor).entryList(QDir::Files | QDir::Hidden),
                 uyari.isEmpty() ? QStringList{QStringLiteral("Orlenbay.ini")} : QStringList());
    } else if (!QFileInfo::exists(yol)) {
        QCOMPARE(QDir(klasor).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
    QFile::setPermissions(klasor, rx | QFileDevice::WriteOwner);
}

void TestBozukDepo::ikiSaatAyniAnda()
{
    // Two clocks of one user, 50 rounds each, released at the same moment.
    QTemporaryDir d;
    QVERIFY(d.isValid());
    QFile f(d.filePath(QStringLiteral("Orlenbay.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kullaniciDeposu);
    f.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), d.path());
    QProcess saatler[2];
    for (int i = 0; i < 2; ++i) {
        saatler[i].setProcessEnvironment(env);
        saatler[i].start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--yaris"), QString(QLatin1Char('a' + i)), QStringLiteral("50")});
    }
    for (QProcess &p : saatler) {
        while (!p.canReadLine() && p.waitForReadyRead(30000)) {
        }
        QCOMPARE(p.readLine(), QByteArray("hazir\n"));
    }
    for (QProcess &p : saatler) {
        p.write("\n");
        QVERIFY(p.waitForBytesWritten(5000));
    }
    for (QProcess &p : saatler) {
        QVERIFY(p.waitForFinished(60000));
        const QByteArray cikti = p.readAllStandardOutput();
        QVERIFY2(p.exitCode() == 0 && cikti.endsWith("done 0\n"), cikti.constData());
    }
    // The last confirms are in, and each key stands once, in its place.
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringList anahtarlar;
    for (const QString &satir :
         QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        anahtarlar << satir.section(QLatin1Char('='), 0, 0);
    QCOMPARE(anahtarlar, firstRunKeys());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(d.path()));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("50"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Zaman1), QStringLiteral("49"));
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--cocuk") == 0)
        return cocuk(QByteArray(argv[2]).toLongLong());
    if (argc > 3 && qstrcmp(argv[1], "--yaris") == 0)
        return yarisan(QString::fromLatin1(argv[2]), QByteArray(argv[3]).toInt());
    TestBozukDepo t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_bozukdepo.moc"
