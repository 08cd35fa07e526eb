#include "platform/singleinstance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

using Request = platform::SingleInstance::Request;

// "x" in a row stands for the display of the suite's own X server; ":5" and ":6" name no server.
class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void laterStart_data();
    void laterStart();
    void startsAtOnce_data();
    void startsAtOnce();
    void ownerEnded_data();
    void ownerEnded();

private:
    void useDisplay(QByteArray display);

    QTemporaryDir m_runtime;
    QProcess m_xvfb;
    QByteArray m_x;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    // An X server of our own, for the selection; it reports its display once it takes connections. Not
    // reset when its last client goes, which would drop the connection that comes next.
    m_xvfb.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                                          QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                                          QStringLiteral("64x64x24")});
    if (m_xvfb.waitForStarted(5000) && m_xvfb.waitForReadyRead(10000))
        m_x = ':' + m_xvfb.readLine().trimmed();
}

void TestSingleInstance::cleanupTestCase()
{
    m_xvfb.terminate();
    m_xvfb.waitForFinished(5000);
}

void TestSingleInstance::init()
{
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":5");
}

void TestSingleInstance::useDisplay(QByteArray display)
{
    if (display.startsWith('x')) {
        if (m_x.isEmpty())
            QSKIP("Xvfb is not installed (scripts/deps.sh test installs it)");
        display.replace(0, 1, m_x);
    }
    qputenv("DISPLAY", display);
}

void TestSingleInstance::laterStart_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("later");
    QTest::addColumn<Request>("request");
    QTest::addColumn<bool>("runtimeFolder");
    QTest::addColumn<bool>("runsItsOwn");
    QTest::newRow("X: same display") << QByteArray("x") << QByteArray("x") << Request::ComeForward << true << false;
    QTest::newRow("X: screen named") << QByteArray("x") << QByteArray("x.0") << Request::ComeForward << true << false;
    QTest::newRow("X: speak") << QByteArray("x") << QByteArray("x") << Request::Speak << true << false;
    QTest::newRow("X: no runtime folder") << QByteArray("x") << QByteArray("x") << Request::Speak << false << false;
    QTest::newRow("X: another display") << QByteArray("x") << QByteArray(":6") << Request::ComeForward << true << true;
    QTest::newRow("no X: same display") << QByteArray(":5") << QByteArray(":5") << Request::ComeForward << true << false;
    QTest::newRow("no X: screen named") << QByteArray(":5") << QByteArray(":5.0") << Request::ComeForward << true << false;
    QTest::newRow("no X: speak") << QByteArray(":5") << QByteArray(":5") << Request::Speak << true << false;
    QTest::newRow("no X: another display") << QByteArray(":5") << QByteArray(":6") << Request::Speak << true << true;
}

// A clock runs on the first display; a later start on the other asks what the row says.
void TestSingleInstance::laterStart()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, later);
    QFETCH(Request, request);
    QFETCH(bool, runtimeFolder);
    QFETCH(bool, runsItsOwn);
    if (!runtimeFolder)
        qunsetenv("XDG_RUNTIME_DIR");
    useDisplay(first);
    platform::SingleInstance clock;
    QSignalSpy forward(&clock, &platform::SingleInstance::activationRequested);
    QSignalSpy speak(&clock, &platform::SingleInstance::speakRequested);
    QVERIFY(clock.claim());
    clock.listen();

    useDisplay(later);
    platform::SingleInstance next;
    QCOMPARE(next.claim(request), runsItsOwn);
    QSignalSpy &asked = request == Request::Speak ? speak : forward;
    QSignalSpy &notAsked = request == Request::Speak ? forward : speak;
    if (runsItsOwn) {
        QTest::qWait(50);
        QCOMPARE(asked.count(), 0);
    } else {
        QTRY_COMPARE(asked.count(), 1);
    }
    QCOMPARE(notAsked.count(), 0);
}

void TestSingleInstance::startsAtOnce_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::newRow("X") << QByteArray("x");
    QTest::newRow("no X") << QByteArray(":5");
}

// Two starts at the same moment, again and again: always exactly one clock.
void TestSingleInstance::startsAtOnce()
{
    QFETCH(QByteArray, display);
    useDisplay(display);
    for (int round = 0; round < 20; ++round) {
        platform::SingleInstance a, b;
        bool aRuns = false, bRuns = false;
        std::thread ta([&] { aRuns = a.claim(); });
        std::thread tb([&] { bRuns = b.claim(); });
        ta.join();
        tb.join();
        QVERIFY2(aRuns != bRuns, qPrintable(QStringLiteral("round %1: %2 clocks").arg(round).arg(int(aRuns) + int(bRuns))));
    }
}

void TestSingleInstance::ownerEnded_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::newRow("X") << QByteArray("x");
    QTest::newRow("no X") << QByteArray(":5");
}

// A clock that ends without a word (killed, crashed) leaves nothing that blocks the next start.
void TestSingleInstance::ownerEnded()
{
    QFETCH(QByteArray, display);
    useDisplay(display);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        platform::SingleInstance *crashed = new platform::SingleInstance;
        ::_exit(crashed->claim() ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    platform::SingleInstance next;
    QSignalSpy forward(&next, &platform::SingleInstance::activationRequested);
    QVERIFY(next.claim());
    next.listen();
    // And it is found by the start after it.
    platform::SingleInstance later;
    QVERIFY(!later.claim());
    QTRY_COMPARE(forward.count(), 1);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
