// Measures how far the clock's seconds digits trail the turn of the system clock's second.
// Runs the real clock window (any Qt platform, offscreen too), samples the digits every millisecond
// and prints the lag of each change: median and maximum.
#include "clock/form1.h"
#include "startup/baslangic.h"

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int saniye = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;

    Baslangic baslangic;
    baslangic.Form_Load();
    const QLabel *digits = baslangic.form1()->findChild<QLabel *>(QStringLiteral("saniye"));
    QString last = digits->text();
    std::vector<int> lags;
    int wrong = 0;

    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, &app, [&] {
        const QString now = digits->text();
        if (now == last)
            return;
        const QTime t = QTime::currentTime();
        // A change is late by the milliseconds since the second it shows began.
        lags.push_back(t.msec());
        if (now.toInt() != t.second())
            ++wrong;
        last = now;
    });
    sampler.start(1);
    QTimer::singleShot(saniye * 1000, &app, &QCoreApplication::quit);
    app.exec();

    std::sort(lags.begin(), lags.end());
    if (lags.empty())
        return 1;
    std::printf("%zu changes over %d s: lag median %d ms, max %d ms, %d showed another second\n", lags.size(),
                saniye, lags[lags.size() / 2], lags.back(), wrong);
    return 0;
}
