#include "platform/singleinstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void laterStart_data();
    void laterStart();
    void staleSocketDoesNotBlock();

private:
    QTemporaryDir m_runtime;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
}

void TestSingleInstance::init()
{
    qputenv("DISPLAY", ":5");
}

void TestSingleInstance::laterStart_data()
{
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<bool>("runsItsOwn");
    QTest::newRow("same display") << QByteArray(":5") << false;
    QTest::newRow("same display, screen named") << QByteArray(":5.0") << false;
    QTest::newRow("another display") << QByteArray(":6") << true;
}

// A clock runs on :5; a later start on the given display.
void TestSingleInstance::laterStart()
{
    QFETCH(QByteArray, display);
    QFETCH(bool, runsItsOwn);
    platform::SingleInstance first;
    QSignalSpy calls(&first, &platform::SingleInstance::activationRequested);
    QVERIFY(first.claim());

    qputenv("DISPLAY", display);
    platform::SingleInstance later;
    QCOMPARE(later.claim(), runsItsOwn);
    if (runsItsOwn) {
        QTest::qWait(50);
        QCOMPARE(calls.count(), 0);
    } else {
        QTRY_COMPARE(calls.count(), 1);
    }
}

void TestSingleInstance::staleSocketDoesNotBlock()
{
    // A clock that crashed leaves its socket file behind, with nobody listening.
    const QByteArray path = platform::SingleInstance::socketName().toLocal8Bit();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(fd >= 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ::close(fd);

    platform::SingleInstance next;
    QSignalSpy calls(&next, &platform::SingleInstance::activationRequested);
    QVERIFY(next.claim());
    // And it is found by the start after it.
    platform::SingleInstance later;
    QVERIFY(!later.claim());
    QTRY_COMPARE(calls.count(), 1);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
