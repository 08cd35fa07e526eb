#include "platform/terminationsignal.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char childFlag[] = "--sonlanma-cocuk";

std::set<int> pipeDescriptors()
{
    std::set<int> fds;
    const QStringList names = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : names) {
        struct stat st;
        if (::fstat(name.toInt(), &st) == 0 && S_ISFIFO(st.st_mode))
            fds.insert(name.toInt());
    }
    return fds;
}

// What a process of the program does in each case; its exit status is the result.
int child(const QByteArray &how)
{
    const std::set<int> before = pipeDescriptors();
    platform::exitOnTerminationSignal();
    if (how == "loop answers") {
        QTimer::singleShot(0, QCoreApplication::instance(), [] { ::raise(SIGTERM); });
        return QCoreApplication::exec();
    }
    if (how == "loop busy") {
        ::raise(SIGTERM);
        ::raise(SIGTERM);
        return 7; // the second signal should have ended it already
    }
    if (how == "pipe not inherited") {
        int found = 0;
        for (int fd : pipeDescriptors()) {
            if (before.count(fd))
                continue;
            ++found;
            if (!(::fcntl(fd, F_GETFD) & FD_CLOEXEC))
                return 3;
            if (!(::fcntl(fd, F_GETFL) & O_NONBLOCK))
                return 4;
        }
        return found == 2 ? 0 : 5;
    }
    return 6;
}

} // namespace

class TestSonlanma : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sigterm_data();
    void sigterm();
};

void TestSonlanma::sigterm_data()
{
    QTest::addColumn<QByteArray>("how");
    QTest::newRow("loop answers") << QByteArray("loop answers");
    QTest::newRow("second signal while the loop is busy") << QByteArray("loop busy");
    QTest::newRow("pipe close-on-exec and non-blocking") << QByteArray("pipe not inherited");
}

// Each case runs in a process of its own: the handler stays installed for the process's life.
void TestSonlanma::sigterm()
{
    QFETCH(QByteArray, how);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels); // what the child says is the test's
    p.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(childFlag), QString::fromLatin1(how)});
    QVERIFY(p.waitForStarted());
    QVERIFY2(p.waitForFinished(20000), "the process did not end");
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::string(argv[1]) == childFlag) {
        QCoreApplication app(argc, argv);
        return child(QByteArray(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestSonlanma t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_sonlanma.moc"
