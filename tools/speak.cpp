// Speaks the current time once through the program's own announcer and sound output, then exits.
// Prints the wall-clock moment of the start so that a recording can be lined up with it.
#include "announce/saatoku.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int sureMs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 6000;
    QTimer::singleShot(300, &app, [] {
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        SaatOku::instance().saat_oku();
        std::printf("start %.3f %s\n", t / 1000.0, qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm"))));
        std::fflush(stdout);
    });
    QTimer::singleShot(300 + sureMs, &app, &QCoreApplication::quit);
    const int rc = app.exec();
    delete &SaatOku::instance();
    return rc;
}
