// Runs the real stopwatch window on the real clock and compares the ticks it shows with the
// monotonic time elapsed since "Başla".
//
//     velmora_kronodrift [--minutes N]
//
// Prints "ticks <shown> elapsed_ms <monotonic> drift_ms <last tick - shown * 1000>
// period_ms_min <..> period_ms_max <..>".
#include "platform/windowtimer.h"
#include "stopwatch/krono.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
int shown(const Krono &k)
{
    auto field = [&](const char *name) { return k.findChild<QLabel *>(QLatin1String(name))->text().toInt(); };
    return field("Label1") * 3600 + field("Label2") * 60 + field("Label3");
}
} // namespace

int main(int argc, char *argv[])
{
    double minutes = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--minutes") == 0)
            minutes = std::atof(argv[i + 1]);
    QApplication app(argc, argv);
    Krono krono;
    krono.show();
    auto *timer = krono.findChild<platform::WindowTimer *>(QStringLiteral("Timer1"));
    auto *basla = krono.findChild<QPushButton *>(QStringLiteral("Command1"));
    if (!timer || !basla) {
        std::fprintf(stderr, "kronodrift: the stopwatch has no Timer1 or Command1\n");
        return 2;
    }

    QElapsedTimer clock; // CLOCK_MONOTONIC
    qint64 lastTick = 0, minPeriod = 1 << 30, maxPeriod = 0;
    int ticks = 0, miscounted = 0;
    // Connected after the window's own handler, so the fields already show this tick.
    QObject::connect(timer, &platform::WindowTimer::timeout, &app, [&] {
        const qint64 t = clock.nsecsElapsed();
        if (ticks > 0) {
            minPeriod = std::min(minPeriod, t - lastTick);
            maxPeriod = std::max(maxPeriod, t - lastTick);
        }
        lastTick = t;
        ++ticks;
        if (shown(krono) != ticks)
            ++miscounted;
    });
    QTimer::singleShot(0, &app, [&] {
        clock.start();
        basla->click();
    });
    // Half a period past the last expected tick, so that a late or early tick shows as a count off.
    const qint64 runMs = static_cast<qint64>(minutes * 60000) + 500;
    QTimer::singleShot(runMs, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    const qint64 elapsed = clock.nsecsElapsed();
    const int count = shown(krono);
    std::printf("ticks %d expected %lld elapsed_ms %.3f drift_ms %.3f period_ms_min %.3f period_ms_max %.3f "
                "miscounted %d\n",
                count, static_cast<long long>(elapsed / 1000000000), elapsed / 1e6,
                lastTick / 1e6 - count * 1000.0, minPeriod / 1e6, maxPeriod / 1e6, miscounted);
    return 0;
}
