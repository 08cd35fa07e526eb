#include "announce/klipsecimi.h"
#include "announce/saatoku.h"
#include "mockclock.h"
#include "platform/windowtimer.h"
#include "recordingsound.h"
#include "scopedprogramfolder.h"

#include <QTest>

using KlipSecimi::Konum;

namespace {

// The expected clips, written out as a person reads the rules: tens always speak, units speak their
// digit, and a whole ten above zero has no units clip.
QStringList beklenenKlipler(int saat, int dakika)
{
    const QStringList birler = {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"),
                                QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                                QStringLiteral("9")};
    const QStringList onlar = {QStringLiteral("0"),  QStringLiteral("10"), QStringLiteral("20"),
                               QStringLiteral("30"), QStringLiteral("40"), QStringLiteral("50")};
    QStringList k = {QStringLiteral("Saat")};
    for (int v : {saat, dakika}) {
        k << onlar[v / 10];
        if (v < 10 || v % 10 != 0)
            k << birler[v % 10];
    }
    return k;
}

QString ad(const QString &yol)
{
    const QString dosya = yol.section(QLatin1Char('/'), -1);
    return dosya.left(dosya.size() - 4);
}

QStringList adlar(const QList<RecordingSound::Played> &calinan)
{
    QStringList l;
    for (const auto &c : calinan)
        l << ad(c.path);
    return l;
}

QList<qint64> anlar(const QList<RecordingSound::Played> &calinan)
{
    QList<qint64> l;
    for (const auto &c : calinan)
        l << c.at;
    return l;
}

// The first play of a fresh program opens the audio device, which holds the thread for a while.
class YavasAcilanSes : public RecordingSound
{
public:
    YavasAcilanSes(MockClock &saat, int acilisMs) : RecordingSound(&saat), m_saat(saat), m_acilisMs(acilisMs) {}
    void play(const QString &path) override
    {
        RecordingSound::play(path);
        if (m_ilk) {
            m_ilk = false;
            m_saat.advance(m_acilisMs);
        }
    }

private:
    MockClock &m_saat;
    int m_acilisMs;
    bool m_ilk = true;
};

} // namespace

class TestSaatOku : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_klasor.emplace(QStringLiteral("/opt/velmora")); }
    void cleanupTestCase() { m_klasor.reset(); }

    void klipSecimiHerSaatVeDakika();
    void butunDuyurular_data();
    void butunDuyurular();
    void duyuruZamanlamasi_data();
    void duyuruZamanlamasi();
    void acilisCihaziBeklerkenIzgaraKaymaz_data();
    void acilisCihaziBeklerkenIzgaraKaymaz();
    void baslangictakiZamaniOkur_data();
    void baslangictakiZamaniOkur();
    void durmadanSonraSirayla_data();
    void durmadanSonraSirayla();
    void ikinciBaslangicUcBucukSaniyeSonra();
    void ikinciBaslangicSaatOnlarindayken();
    void yuzHizliBaslangicBirikmez();
    void klipYolu();

private:
    std::optional<ScopedProgramFolder> m_klasor;
};

void TestSaatOku::klipSecimiHerSaatVeDakika()
{
    auto yol = [](const std::optional<QString> &k) { return k ? ad(*k) : QString(); };
    for (int s = 0; s < 24; ++s) {
        for (int d = 0; d < 60; ++d) {
            QStringList k = {QStringLiteral("Saat"), yol(KlipSecimi::klip(Konum::SaatOnlar, s))};
            if (auto b = KlipSecimi::klip(Konum::SaatBirler, s))
                k << ad(*b);
            k << yol(KlipSecimi::klip(Konum::DakikaOnlar, d));
            if (auto b = KlipSecimi::klip(Konum::DakikaBirler, d))
                k << ad(*b);
            QCOMPARE(k, beklenenKlipler(s, d));
        }
    }
}

void TestSaatOku::butunDuyurular_data()
{
    QTest::addColumn<QTime>("zaman");
    QTest::addColumn<QStringList>("klipler");
    QTest::newRow("00:00") << QTime(0, 0) << QStringList{"Saat", "0", "0", "0", "0"};
    QTest::newRow("00:05") << QTime(0, 5) << QStringList{"Saat", "0", "0", "0", "5"};
    QTest::newRow("07:30") << QTime(7, 30) << QStringList{"Saat", "0", "7", "30"};
    QTest::newRow("10:10") << QTime(10, 10) << QStringList{"Saat", "10", "10"};
    QTest::newRow("12:45") << QTime(12, 45) << QStringList{"Saat", "10", "2", "40", "5"};
    QTest::newRow("20:00") << QTime(20, 0) << QStringList{"Saat", "20", "0", "0"};
    QTest::newRow("23:59") << QTime(23, 59) << QStringList{"Saat", "20", "3", "50", "9"};
}

void TestSaatOku::butunDuyurular()
{
    QFETCH(QTime, zaman);
    QFETCH(QStringList, klipler);
    MockClock saat(zaman);
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    saat.advance(10000);
    QCOMPARE(adlar(ses.played), klipler);
}

void TestSaatOku::duyuruZamanlamasi_data()
{
    QTest::addColumn<QTime>("zaman");
    QTest::addColumn<QList<qint64>>("anlar");
    QTest::newRow("14:35 five clips a second apart") << QTime(14, 35, 10) << QList<qint64>{0, 1000, 2000, 3000, 4000};
    QTest::newRow("10:20 nothing at 2 s and 4 s") << QTime(10, 20, 10) << QList<qint64>{0, 1000, 3000};
    QTest::newRow("07:07") << QTime(7, 7, 10) << QList<qint64>{0, 1000, 2000, 3000, 4000};
}

void TestSaatOku::duyuruZamanlamasi()
{
    QFETCH(QTime, zaman);
    QFETCH(QList<qint64>, anlar);
    MockClock saat(zaman);
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    // The start returns at once, having played only the opening word.
    QCOMPARE(ses.played.size(), 1);
    saat.advance(3999);
    QCOMPARE(ses.played.size(), anlar.size() - (anlar.last() == 4000 ? 1 : 0));
    saat.advance(6001);
    QCOMPARE(::anlar(ses.played), anlar);
    QCOMPARE(saat.armedTimers(), 0);
}

void TestSaatOku::acilisCihaziBeklerkenIzgaraKaymaz_data()
{
    QTest::addColumn<int>("acilisMs");
    QTest::newRow("device already open") << 0;
    QTest::newRow("device opening takes 15 ms") << 15;
    QTest::newRow("device opening takes 300 ms") << 300;
}

// The later clips keep their seconds from the start, however long the opening play held the thread.
void TestSaatOku::acilisCihaziBeklerkenIzgaraKaymaz()
{
    QFETCH(int, acilisMs);
    MockClock saat(QTime(14, 35, 10));
    YavasAcilanSes ses(saat, acilisMs);
    SaatOku oku;
    oku.saat_oku();
    saat.advance(6000);
    QCOMPARE(adlar(ses.played), (QStringList{"Saat", "10", "4", "30", "5"}));
    QCOMPARE(anlar(ses.played), (QList<qint64>{0, 1000, 2000, 3000, 4000}));
}

void TestSaatOku::baslangictakiZamaniOkur_data()
{
    QTest::addColumn<QTime>("zaman");
    QTest::addColumn<int>("ikinciMs"); // a second start this long after the first, or -1
    QTest::addColumn<QStringList>("klipler");
    // Read at each tick, these said "12:30" and "12:00": times that never were.
    QTest::newRow("the minute turns during it") << QTime(12, 39, 56, 500) << -1
                                                << QStringList{"Saat", "10", "2", "30", "9"};
    QTest::newRow("the hour turns during it") << QTime(12, 59, 57, 500) << -1
                                              << QStringList{"Saat", "10", "2", "50", "9"};
    // The first start's pending minute-units tick speaks the time of the second start (13:00).
    QTest::newRow("a second start after the hour turned") << QTime(12, 59, 57) << 3500
        << QStringList{"Saat", "10", "2", "50", "Saat", "0", "10", "3", "0", "0"};
}

void TestSaatOku::baslangictakiZamaniOkur()
{
    QFETCH(QTime, zaman);
    QFETCH(int, ikinciMs);
    QFETCH(QStringList, klipler);
    MockClock saat(zaman);
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    if (ikinciMs >= 0) {
        saat.advance(ikinciMs);
        oku.saat_oku();
    }
    saat.advance(10000);
    QCOMPARE(adlar(ses.played), klipler);
}

void TestSaatOku::durmadanSonraSirayla_data()
{
    QTest::addColumn<QTime>("zaman");
    QTest::addColumn<int>("durmaAni"); // the program is held this long after the start
    QTest::addColumn<int>("durmaMs");  // for this long
    QTest::addColumn<QStringList>("klipler");
    QTest::addColumn<QList<qint64>>("anlar");
    // The late hour tick's units tick fell on the minute's, which came first: "Saat 10 0 7 0".
    QTest::newRow("held 1.5 s over the hour's tens") << QTime(17, 0, 10) << 500 << 1500
        << QStringList{"Saat", "10", "7", "0", "0"} << QList<qint64>{0, 2000, 3000, 4000, 5000};
    QTest::newRow("held 3 s, hour and minute due together") << QTime(17, 0, 10) << 500 << 3000
        << QStringList{"Saat", "10", "7", "0", "0"} << QList<qint64>{0, 3500, 4500, 5500, 6500};
    QTest::newRow("held 0.8 s, the hour's units keep their second") << QTime(17, 0, 10) << 500 << 800
        << QStringList{"Saat", "10", "7", "0", "0"} << QList<qint64>{0, 1300, 2300, 3300, 4300};
    QTest::newRow("held 2 s over the hour's units") << QTime(14, 35, 10) << 1500 << 2000
        << QStringList{"Saat", "10", "4", "30", "5"} << QList<qint64>{0, 1000, 3500, 4500, 5500};
    QTest::newRow("held 3 s across the turn of the hour") << QTime(16, 59, 59, 500) << 500 << 3000
        << QStringList{"Saat", "10", "6", "50", "9"} << QList<qint64>{0, 3500, 4500, 5500, 6500};
}

// After a stall the clips still come in their order, a second apart, and none is left out.
void TestSaatOku::durmadanSonraSirayla()
{
    QFETCH(QTime, zaman);
    QFETCH(int, durmaAni);
    QFETCH(int, durmaMs);
    QFETCH(QStringList, klipler);
    QFETCH(QList<qint64>, anlar);
    MockClock saat(zaman);
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    saat.advance(durmaAni);
    saat.stall(durmaMs);
    saat.advance(10000);
    QCOMPARE(adlar(ses.played), klipler);
    QCOMPARE(::anlar(ses.played), anlar);
    QCOMPARE(saat.armedTimers(), 0);
}

void TestSaatOku::ikinciBaslangicUcBucukSaniyeSonra()
{
    MockClock saat(QTime(14, 35, 10));
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    saat.advance(3500);
    oku.saat_oku();
    saat.advance(10000);
    // The first announcement's minute-units tick cuts the new opening word, then the second runs in full.
    QCOMPARE(adlar(ses.played), (QStringList{"Saat", "10", "4", "30", "Saat", "5", "10", "4", "30", "5"}));
    QCOMPARE(anlar(ses.played), (QList<qint64>{0, 1000, 2000, 3000, 3500, 4000, 4500, 5500, 6500, 7500}));
}

void TestSaatOku::ikinciBaslangicSaatOnlarindayken()
{
    MockClock saat(QTime(14, 35, 10));
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    saat.advance(1500);
    oku.saat_oku();
    saat.advance(10000);
    // The pending hour-units tick plays over the new opening word and comes again in its place;
    // the re-armed minute timer counts from the second start.
    QCOMPARE(adlar(ses.played), (QStringList{"Saat", "10", "Saat", "4", "10", "4", "30", "5"}));
    QCOMPARE(anlar(ses.played), (QList<qint64>{0, 1000, 1500, 2000, 2500, 3500, 4500, 5500}));
}

void TestSaatOku::yuzHizliBaslangicBirikmez()
{
    MockClock saat(QTime(9, 41, 0));
    RecordingSound ses(&saat);
    SaatOku oku;
    const int nesneler = oku.children().size();
    for (int i = 0; i < 100; ++i) {
        oku.saat_oku();
        QVERIFY(saat.armedTimers() <= 4);
        saat.advance(37);
    }
    QCOMPARE(oku.children().size(), nesneler);
    saat.advance(10000);
    QCOMPARE(saat.armedTimers(), 0);
    QCOMPARE(oku.findChildren<platform::WindowTimer *>().size(), 4);
}

void TestSaatOku::klipYolu()
{
    MockClock saat(QTime(9, 41, 0));
    RecordingSound ses(&saat);
    SaatOku oku;
    oku.saat_oku();
    QCOMPARE(ses.played.first().path, QStringLiteral("/opt/velmora/Ses/Saat.wav"));
    saat.advance(1000);
    QCOMPARE(ses.played.last().path, QStringLiteral("/opt/velmora/Ses/0.wav"));
}

QTEST_MAIN(TestSaatOku)
#include "tst_saatoku.moc"
