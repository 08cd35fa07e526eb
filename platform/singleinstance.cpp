#include "platform/singleinstance.h"

#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>

namespace platform {

namespace {

// The display this process shows its windows on: ":1.0" and ":1" are the same X display.
QString displayName()
{
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
        return wayland.isEmpty() ? QStringLiteral("wayland-0") : wayland;
    }
    QString x = qEnvironmentVariable("DISPLAY");
    x.remove(QRegularExpression(QStringLiteral("\\.\\d+$")));
    return x.isEmpty() ? QGuiApplication::platformName() : x;
}

bool askRunningClock(const QString &name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    // The connection itself is the request.
    socket.disconnectFromServer();
    return true;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

QString SingleInstance::socketName()
{
    QString display = displayName();
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/velmora-%1-%2")
                                                                                   .arg(::getuid())
                                                                                   .arg(display);
}

bool SingleInstance::claim()
{
    const QString name = socketName();
    // Two starts at the same moment: the second waits until the first listens, then finds it.
    QLockFile lock(name + QStringLiteral(".lock"));
    lock.tryLock(3000);
    if (askRunningClock(name))
        return false;
    // Nobody answers: a socket left by a clock that crashed must not block this start.
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptStart);
    // Without a socket the clock still runs; it only cannot be found by a later start.
    m_server->listen(name);
    return true;
}

void SingleInstance::acceptStart()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->close();
        socket->deleteLater();
        Q_EMIT activationRequested();
    }
}

} // namespace platform
