#include "platform/terminationsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>

#include <unistd.h>

namespace platform {

namespace {

// The handler only writes to a pipe; the event loop reads it.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(terminationPipe[1], &c, 1);
}

} // namespace

void exitOnTerminationSignal()
{
    if (::pipe(terminationPipe) != 0)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] { QCoreApplication::exit(0); });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
}

} // namespace platform
