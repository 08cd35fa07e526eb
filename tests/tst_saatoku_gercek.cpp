#include "announce/saatoku.h"
#include "recordingsound.h"

#include <QTest>

// The schedule with the platform's real timers, not a stepped clock.
class TestSaatOkuGercek : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void birerSaniyeArayla();
};

void TestSaatOkuGercek::birerSaniyeArayla()
{
    RecordingSound ses(nullptr);
    SaatOku oku;
    // Keep the minute from turning mid-announcement, which would change the clips.
    while (QTime::currentTime().second() > 50)
        QTest::qWait(200);
    const QTime simdi = QTime::currentTime();
    auto birlerVar = [](int v) { return v < 10 || v % 10 != 0; };
    QList<qint64> yuvalar = {0, 1000};
    if (birlerVar(simdi.hour()))
        yuvalar << 2000;
    yuvalar << 3000;
    if (birlerVar(simdi.minute()))
        yuvalar << 4000;

    oku.saat_oku();
    QTRY_COMPARE_WITH_TIMEOUT(ses.played.size(), yuvalar.size(), 8000);
    QTest::qWait(1200);
    QCOMPARE(ses.played.size(), yuvalar.size());
    // A loaded shared machine may delay a tick, but never advances one.
    const qint64 ilk = ses.played.first().at;
    for (int i = 0; i < yuvalar.size(); ++i) {
        const qint64 t = ses.played[i].at - ilk;
        QVERIFY2(t >= yuvalar[i] && t < yuvalar[i] + 150,
                 qPrintable(QStringLiteral("clip %1 at %2 ms, slot %3 ms").arg(i).arg(t).arg(yuvalar[i])));
    }
}

QTEST_MAIN(TestSaatOkuGercek)
#include "tst_saatoku_gercek.moc"
