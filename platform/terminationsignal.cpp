#include "platform/terminationsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The handler only writes to a pipe; the event loop reads it. Both ends are non-blocking, so a full
// pipe cannot hold the handler, and close on exec, so a browser started from the about window does
// not inherit them.
int terminationPipe[2] = {-1, -1};
volatile sig_atomic_t terminationAsked = 0;

void onTerminationSignal(int)
{
    // A second signal means the loop has not answered the first (or is still ending): end at once,
    // with the same status as an answered one.
    if (terminationAsked) ::_exit(0);
    terminationAsked = 1;
    const int savedErrno = errno;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(terminationPipe[1], &c, 1);
    errno = savedErrno;
}

} // namespace

void exitOnTerminationSignal()
{
    if (::pipe2(terminationPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        char c;
        while (::read(terminationPipe[0], &c, 1) > 0) {
        }
        QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
}

} // namespace platform
