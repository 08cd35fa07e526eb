#include "platform/screenwatch.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QTimer>

namespace platform {

void watchScreens(QObject *context, std::function<void()> changed)
{
    // Later: Qt moves the windows of a screen that went away only after announcing it.
    auto later = [context, changed] { QTimer::singleShot(0, context, changed); };
    auto watch = [context, later](QScreen *screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, later);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, context, [watch, later](QScreen *screen) {
        watch(screen);
        later();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, context, later);
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, context, later);
}

bool whollyOnScreens(const QRect &rect)
{
    QRegion screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens += screen->geometry();
    return QRegion(rect).subtracted(screens).isEmpty();
}

} // namespace platform
