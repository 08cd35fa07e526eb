#include "clock/form1.h"
#include "helpers.h"
#include "mockclock.h"
#include "store/ayardeposu.h"
#include "startup/baslangic.h"
#include "startup/komutsatiri.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

Q_DECLARE_METATYPE(KomutSatiri::Is)

namespace {

QColor yaziRengi(Form1 *f, const char *etiket)
{
    return f->findChild<QLabel *>(QLatin1String(etiket))->palette().color(QPalette::WindowText);
}

} // namespace

class TestBaslangic : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QFile::remove(AyarDeposu::dosyaYolu());
        m_saat = std::make_unique<MockClock>(QTime(9, 5, 3));
    }
    void cleanup() { m_saat.reset(); }

    void ilkCalistirma_data();
    void ilkCalistirma();
    void normalCalistirmaHicbirSeyYazmaz();
    void eksikDepo();
    void bozukSayilarVarsayilana_data();
    void bozukSayilarVarsayilana();
    void ayarlaYeniSaatKurar();
    void komutSatiri_data();
    void komutSatiri();

private:
    std::unique_ptr<MockClock> m_saat;
};

void TestBaslangic::ilkCalistirma_data()
{
    QTest::addColumn<QString>("isaret");
    QTest::addColumn<bool>("yaz");
    QTest::newRow("absent") << QString() << false;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("leading blank") << " 1" << true;
    QTest::newRow("leading zero") << "01" << true;
    QTest::newRow("decimal") << "1.0" << true;
}

void TestBaslangic::ilkCalistirma()
{
    QFETCH(QString, isaret);
    QFETCH(bool, yaz);
    if (yaz)
        AyarDeposu::ayar_yaz(Anahtar::Ayar, isaret);
    // User values that the first run must reset.
    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, QStringLiteral("255"));
    AyarDeposu::ayar_yaz(Anahtar::Metin, QStringLiteral("eski not"));

    Baslangic b;
    b.Form_Load();

    for (const Anahtar::IlkDeger &d : Anahtar::ilkDegerler)
        QCOMPARE(AyarDeposu::ayar_oku(d.anahtar), d.deger);

    Form1 *f = b.form1();
    QVERIFY(f);
    QVERIFY(f->isVisible());
    QCOMPARE(yaziRengi(f, "saniye"), QColor(0, 255, 0));
    QCOMPARE(f->palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(f->windowOpacity(), 1.0);
}

void TestBaslangic::normalCalistirmaHicbirSeyYazmaz()
{
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, QStringLiteral("255"));
    AyarDeposu::ayar_yaz(Anahtar::Arka, QStringLiteral("65280"));
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, QStringLiteral("51"));
    QFile f(AyarDeposu::dosyaYolu());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray once = f.readAll();
    f.close();

    Baslangic b;
    b.Form_Load();

    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), once);
    Form1 *saat = b.form1();
    for (const char *ad : {"saat", "dakika", "saniye", "Label1", "Label2"})
        QCOMPARE(yaziRengi(saat, ad), QColor(255, 0, 0));
    QCOMPARE(saat->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(saat->windowOpacity(), 51 / 255.0);
}

void TestBaslangic::eksikDepo()
{
    // A start that ended after the marker: the normal path reads the missing keys as defaults.
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    Baslangic b;
    b.Form_Load();
    QCOMPARE(storeKeyOrder(), QStringList{Anahtar::Ayar});
    QCOMPARE(yaziRengi(b.form1(), "saat"), QColor(0, 255, 0));
    QCOMPARE(b.form1()->palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(b.form1()->windowOpacity(), 1.0);
}

void TestBaslangic::bozukSayilarVarsayilana_data()
{
    QTest::addColumn<QString>("yazi");
    QTest::addColumn<QString>("arka");
    QTest::addColumn<QString>("seffaflik");
    QTest::addColumn<double>("opaklik");
    QTest::newRow("empty") << "" << "" << "" << 1.0;
    QTest::newRow("letters") << "yeşil" << "siyah" << "tam" << 1.0;
    QTest::newRow("out of range") << "16777216" << "-1" << "40000" << 1.0;
    QTest::newRow("opacity above 255 changes nothing") << "abc" << "x" << "256" << 1.0;
    QTest::newRow("opacity below 0 changes nothing") << "abc" << "x" << "-1" << 1.0;
}

void TestBaslangic::bozukSayilarVarsayilana()
{
    QFETCH(QString, yazi);
    QFETCH(QString, arka);
    QFETCH(QString, seffaflik);
    QFETCH(double, opaklik);
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, yazi);
    AyarDeposu::ayar_yaz(Anahtar::Arka, arka);
    AyarDeposu::ayar_yaz(Anahtar::Seffaflik, seffaflik);
    Baslangic b;
    b.Form_Load();
    QCOMPARE(yaziRengi(b.form1(), "Label2"), QColor(0, 255, 0));
    QCOMPARE(b.form1()->palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(b.form1()->windowOpacity(), opaklik);
}

void TestBaslangic::ayarlaYeniSaatKurar()
{
    Baslangic b;
    b.Form_Load();
    QCOMPARE(storeKeyOrder(), firstRunKeys());
    QPointer<Form1> ilk = b.form1();

    AyarDeposu::ayar_yaz(Anahtar::YaziRengi, QStringLiteral("16711680"));
    b.form1Kapat();
    QVERIFY(!b.form1());
    b.ayarla();
    QVERIFY(b.form1() && b.form1() != ilk.data());
    QCOMPARE(yaziRengi(b.form1(), "dakika"), QColor(0, 0, 255));
    QTRY_VERIFY(!ilk);
    // No first-run check: the keys stay as they were.
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::YaziRengi), QStringLiteral("16711680"));
}

void TestBaslangic::komutSatiri_data()
{
    using Is = KomutSatiri::Is;
    QTest::addColumn<QByteArrayList>("argumanlar");
    QTest::addColumn<Is>("is");
    QTest::addColumn<QByteArrayList>("qtIcin");
    QTest::addColumn<QByteArray>("xEkrani");
    const QByteArrayList yok;
    QTest::newRow("none") << yok << Is::Saat << yok << QByteArray();
    QTest::newRow("--oku") << QByteArrayList{"--oku"} << Is::Oku << yok << QByteArray();
    QTest::newRow("--help") << QByteArrayList{"--help"} << Is::Yardim << yok << QByteArray();
    QTest::newRow("-h beside --oku") << QByteArrayList{"--oku", "-h"} << Is::Yardim << yok << QByteArray();
    QTest::newRow("unknown") << QByteArrayList{"--okut"} << Is::Hata << yok << QByteArray();
    QTest::newRow("unknown beside --oku") << QByteArrayList{"--oku", "-x"} << Is::Hata << yok << QByteArray();
    QTest::newRow("a word") << QByteArrayList{"oku"} << Is::Hata << yok << QByteArray();
    QTest::newRow("Qt's -platform") << QByteArrayList{"-platform", "xcb", "--oku"} << Is::Oku
                                    << QByteArrayList{"-platform", "xcb"} << QByteArray();
    QTest::newRow("Qt's --platform") << QByteArrayList{"--platform", "offscreen"} << Is::Saat
                                     << QByteArrayList{"--platform", "offscreen"} << QByteArray();
    QTest::newRow("Qt's flag") << QByteArrayList{"-reverse"} << Is::Saat << QByteArrayList{"-reverse"} << QByteArray();
    QTest::newRow("Qt's -display") << QByteArrayList{"--oku", "-display", ":3"} << Is::Oku
                                   << QByteArrayList{"-display", ":3"} << QByteArray(":3");
    QTest::newRow("--oku as a title") << QByteArrayList{"-title", "--oku"} << Is::Saat
                                      << QByteArrayList{"-title", "--oku"} << QByteArray();
}

// Our options are taken out; Qt's pass on in order; anything else is refused before any start.
void TestBaslangic::komutSatiri()
{
    QFETCH(QByteArrayList, argumanlar);
    QFETCH(KomutSatiri::Is, is);
    QFETCH(QByteArrayList, qtIcin);
    QFETCH(QByteArray, xEkrani);
    argumanlar.prepend("velmora");
    qtIcin.prepend("velmora");
    std::vector<char *> argv;
    for (QByteArray &a : argumanlar)
        argv.push_back(a.data());
    const KomutSatiri k = KomutSatiri::oku(int(argv.size()), argv.data());
    QCOMPARE(int(k.is), int(is));
    QCOMPARE(k.hata.isEmpty(), is != KomutSatiri::Is::Hata);
    QByteArrayList gecen;
    for (char *a : k.qtIcin)
        gecen << a;
    if (is != KomutSatiri::Is::Hata)
        QCOMPARE(gecen, qtIcin);
    QCOMPARE(k.xEkrani, xEkrani);
}

QTEST_MAIN(TestBaslangic)
#include "tst_baslangic.moc"
