#include "store/ayardeposu.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QFileInfo>
#include <QTest>

namespace {
QString dosya()
{
    QFile f(AyarDeposu::dosyaYolu());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestAyarDeposu : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QDir(AyarDeposu::dosyaYolu()).removeRecursively();
        QFile::remove(AyarDeposu::dosyaYolu());
    }

    void adlarBuyukKucukHarfeBakmaz_data();
    void adlarBuyukKucukHarfeBakmaz();
    void ilkYazimYazilisiKalir();
    void turkceDegerlerAynenDoner();
    void okumakHicbirSeyYaratmaz();
    void yazilanHemenDiskte();
    void okunamayanDepoBosVerir();
    void yazilamayanDepoCokmez();
    void elleDuzenlenmisDosya();
    void anahtarKenarBosluklari_data();
    void anahtarKenarBosluklari();
    void sayiOku_data();
    void sayiOku();
    void renkDonusumu_data();
    void renkDonusumu();
};

void TestAyarDeposu::adlarBuyukKucukHarfeBakmaz_data()
{
    QTest::addColumn<QString>("yazilanAnahtar");
    QTest::addColumn<QString>("yazilanBolum");
    QTest::addColumn<QString>("okunanAnahtar");
    QTest::addColumn<QString>("okunanBolum");
    const QString b = AyarDeposu::bolum;
    QTest::newRow("section with lower-case v") << "Ayar" << b << "Ayar" << "Velmora v.2.0";
    QTest::newRow("key in lower case") << "Ayar" << b << "ayar" << b;
    QTest::newRow("key in upper case") << "Ayar" << b << "AYAR" << b;
    QTest::newRow("section in upper case") << "Metin" << "velmora v.2.0" << "metin" << "VELMORA V.2.0";
    QTest::newRow("Turkish dotless i") << "Yazı Rengi" << b << "yazı rengi" << b;
    QTest::newRow("Turkish S cedilla") << "Şeffaflık" << b << "şEFFAFLIK" << b;
}

void TestAyarDeposu::adlarBuyukKucukHarfeBakmaz()
{
    QFETCH(QString, yazilanAnahtar);
    QFETCH(QString, yazilanBolum);
    QFETCH(QString, okunanAnahtar);
    QFETCH(QString, okunanBolum);
    AyarDeposu::ayar_yaz(yazilanAnahtar, QStringLiteral("değer"), yazilanBolum);
    QCOMPARE(AyarDeposu::ayar_oku(okunanAnahtar, okunanBolum), QStringLiteral("değer"));
    // A write under another spelling replaces the value rather than adding a second key.
    AyarDeposu::ayar_yaz(okunanAnahtar, QStringLiteral("yeni"), okunanBolum);
    QCOMPARE(AyarDeposu::ayar_oku(yazilanAnahtar, yazilanBolum), QStringLiteral("yeni"));
    QCOMPARE(dosya(), QStringLiteral("[%1]\n%2=yeni\n").arg(yazilanBolum, yazilanAnahtar));
}

void TestAyarDeposu::ilkYazimYazilisiKalir()
{
    AyarDeposu::ayar_yaz(QStringLiteral("Başlık"), QStringLiteral("a"));
    AyarDeposu::ayar_yaz(QStringLiteral("BAŞLIK"), QStringLiteral("b"), QStringLiteral("Velmora v.2.0"));
    QCOMPARE(dosya(), QStringLiteral("[Velmora V.2.0]\nBaşlık=b\n"));
}

void TestAyarDeposu::turkceDegerlerAynenDoner()
{
    const QStringList metinler = {QStringLiteral("Öğle yemeği: çay, şeker; İstanbul ığdır"),
                                  QStringLiteral(" 1"), QStringLiteral("a=b\\c\n[Velmora V.2.0]\r\nx=y "),
                                  QString(), QString(1 << 20, QLatin1Char('x'))};
    for (const QString &metin : metinler) {
        AyarDeposu::ayar_yaz(Anahtar::Metin, metin);
        AyarDeposu::ayar_yaz(QStringLiteral("[tuhaf=anahtar\\"), metin);
        AyarDeposu::ayar_yaz(Anahtar::Baslik, QStringLiteral("sonra"));
        QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Metin), metin);
        QCOMPARE(AyarDeposu::ayar_oku(QStringLiteral("[tuhaf=anahtar\\")), metin);
        QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Baslik), QStringLiteral("sonra"));
    }
}

void TestAyarDeposu::okumakHicbirSeyYaratmaz()
{
    QCOMPARE(AyarDeposu::ayar_oku(QStringLiteral("Hiç Yazılmadı")), QString());
    QVERIFY(!QFileInfo::exists(AyarDeposu::dosyaYolu()));
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    const QByteArray once = [] {
        QFile f(AyarDeposu::dosyaYolu());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(not readable)");
    }();
    QCOMPARE(AyarDeposu::ayar_oku(QStringLiteral("Hiç Yazılmadı")), QString());
    QCOMPARE(AyarDeposu::ayar_oku(QStringLiteral("x"), QStringLiteral("Başka Bölüm")), QString());
    QFile f(AyarDeposu::dosyaYolu());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), once);
}

void TestAyarDeposu::yazilanHemenDiskte()
{
    AyarDeposu::ayar_yaz(Anahtar::Zaman1, QStringLiteral("7"));
    QFile f(AyarDeposu::dosyaYolu());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray icerik = f.readAll();
    QVERIFY2(icerik.contains("Zaman1=7"), icerik.constData());
}

void TestAyarDeposu::okunamayanDepoBosVerir()
{
    QFile f(AyarDeposu::dosyaYolu());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x00\xff\xfe[[[\n=\n\x01\x02garbage\n", 20));
    f.close();
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QString());
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QStringLiteral("1"));
}

void TestAyarDeposu::yazilamayanDepoCokmez()
{
    // A folder where the file should be: neither readable as settings nor replaceable, even for root.
    QVERIFY(QDir().mkpath(AyarDeposu::dosyaYolu()));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QString());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not write")));
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QString());
    QVERIFY(QDir(AyarDeposu::dosyaYolu()).removeRecursively());
}

void TestAyarDeposu::elleDuzenlenmisDosya()
{
    // Edited by hand: a comment, blank lines, blanks around "=", a Windows line end, another
    // program's section, and three lines in Latin-5 ("Yazı Rengi", "Şeffaflık", "Başlık=Çay").
    const QByteArray once = "; Velmora ayarları\n"
                            "\n"
                            "[Velmora V.2.0]\n"
                            "Ayar = 1\n"
                            "# renkler\n"
                            "Yaz\xfd Rengi=255\n"
                            "\xde" "effafl\xfdk=200\n"
                            "Ba\xfel\xfdk=\xc7" "ay\n"
                            "Metin= Demle  \r\n"
                            "\n"
                            "[Başka Program]\n"
                            "Arka=5\n"
                            "x=\xff\xfe\n";
    {
        QFile f(AyarDeposu::dosyaYolu());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(once);
    }
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QStringLiteral("1"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::YaziRengi), QStringLiteral("255"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("200"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Baslik), QStringLiteral("Çay"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Metin), QStringLiteral("Demle"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Arka), QString());

    // A value that did not change is not written; the others change where they stand, a new key
    // goes after the last key of its section, and a value with blanks of its own keeps them.
    QVERIFY(AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1")).basarili());
    QVERIFY(AyarDeposu::ayarlari_yaz({{Anahtar::Arka, QStringLiteral("0")},
                                      {Anahtar::Seffaflik, QStringLiteral("90")},
                                      {Anahtar::Baslik, QStringLiteral(" Çay ")}})
                .basarili());
    QFile f(AyarDeposu::dosyaYolu());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("; Velmora ayarları\n"
                                     "\n"
                                     "[Velmora V.2.0]\n"
                                     "Ayar = 1\n"
                                     "# renkler\n"
                                     "Yaz\xfd Rengi=255\n"
                                     "Şeffaflık=90\n"
                                     "Başlık=\\ Çay\\ \n"
                                     "Metin= Demle  \r\n"
                                     "Arka=0\n"
                                     "\n"
                                     "[Başka Program]\n"
                                     "Arka=5\n"
                                     "x=\xff\xfe\n"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Baslik), QStringLiteral(" Çay "));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Seffaflik), QStringLiteral("90"));
}

void TestAyarDeposu::anahtarKenarBosluklari_data()
{
    QTest::addColumn<QString>("anahtar");
    QTest::newRow("leading blank") << " Ayar";
    QTest::newRow("trailing blank") << "Ayar ";
    QTest::newRow("only a blank") << " ";
    QTest::newRow("tabs around") << "\tAyar\t";
    QTest::newRow("no-break space") << "Ayar\u00a0";
    QTest::newRow("backslash before a trailing blank") << "Ayar\\ ";
}

void TestAyarDeposu::anahtarKenarBosluklari()
{
    // A key with blanks at its ends is another key than the one without them, also once the file
    // has been written again.
    QFETCH(QString, anahtar);
    AyarDeposu::ayar_yaz(Anahtar::Ayar, QStringLiteral("1"));
    AyarDeposu::ayar_yaz(anahtar, QStringLiteral("kenar"));
    AyarDeposu::ayar_yaz(Anahtar::Dil, QStringLiteral("Türkçe"));
    QCOMPARE(AyarDeposu::ayar_oku(anahtar), QStringLiteral("kenar"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QStringLiteral("1"));
    AyarDeposu::ayar_yaz(anahtar, QStringLiteral("yine"));
    QCOMPARE(AyarDeposu::ayar_oku(anahtar), QStringLiteral("yine"));
    QCOMPARE(AyarDeposu::ayar_oku(Anahtar::Ayar), QStringLiteral("1"));
}

void TestAyarDeposu::sayiOku_data()
{
    QTest::addColumn<QString>("metin");
    QTest::addColumn<int>("enAz");
    QTest::addColumn<int>("enCok");
    QTest::addColumn<int>("beklenen");
    const int k16a = -32768, k16b = 32767;
    QTest::newRow("plain") << "255" << k16a << k16b << 255;
    QTest::newRow("zero") << "0" << k16a << k16b << 0;
    QTest::newRow("negative") << "-1" << k16a << k16b << -1;
    QTest::newRow("empty") << "" << k16a << k16b << 99;
    QTest::newRow("letters") << "yüz" << k16a << k16b << 99;
    QTest::newRow("trailing letters") << "12ab" << k16a << k16b << 99;
    QTest::newRow("hex is not decimal") << "0x10" << k16a << k16b << 99;
    QTest::newRow("fraction") << "1.5" << k16a << k16b << 99;
    QTest::newRow("above 16 bits") << "32768" << k16a << k16b << 99;
    QTest::newRow("below 16 bits") << "-32769" << k16a << k16b << 99;
    QTest::newRow("huge") << "99999999999999999999999" << k16a << k16b << 99;
    QTest::newRow("colour above 24 bits") << "16777216" << 0 << 0xFFFFFF << 99;
    QTest::newRow("colour white") << "16777215" << 0 << 0xFFFFFF << 0xFFFFFF;
    QTest::newRow("negative colour") << "-5" << 0 << 0xFFFFFF << 99;
    QTest::newRow("NUL after the digits") << QString::fromUtf8("71\0" "7", 4) << k16a << k16b << 99;
    QTest::newRow("NUL before the digits") << QString::fromUtf8("\0" "255", 4) << k16a << k16b << 99;
}

void TestAyarDeposu::sayiOku()
{
    QFETCH(QString, metin);
    QFETCH(int, enAz);
    QFETCH(int, enCok);
    QFETCH(int, beklenen);
    QCOMPARE(Sayi::oku(metin, enAz, enCok, 99), beklenen);
}

void TestAyarDeposu::renkDonusumu_data()
{
    QTest::addColumn<int>("bgr");
    QTest::addColumn<QColor>("renk");
    QTest::newRow("green") << 65280 << QColor(0, 255, 0);
    QTest::newRow("red") << 255 << QColor(255, 0, 0);
    QTest::newRow("blue") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("black") << 0 << QColor(0, 0, 0);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
}

void TestAyarDeposu::renkDonusumu()
{
    QFETCH(int, bgr);
    QFETCH(QColor, renk);
    QCOMPARE(Sayi::renk(bgr), renk);
    QCOMPARE(Sayi::bgr(renk), bgr);
}

QTEST_GUILESS_MAIN(TestAyarDeposu)
#include "tst_ayardeposu.moc"
