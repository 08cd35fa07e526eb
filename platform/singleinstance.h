#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace platform {

// One clock per display. On X the clock owns a selection of the display, which the X server frees
// when the clock's connection goes, however it ends; a later start finds the owner and sends it its
// request. Without an X display (a Wayland-only session) a lock file and a datagram socket in the
// user's runtime folder do the same.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // What a later start asks of the running clock.
    enum class Request { ComeForward = 1, Speak = 2 };
    Q_ENUM(Request)

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the display's one clock; false when another already runs there
    // and has been handed the request. xDisplay names the X display where not $DISPLAY. Works before
    // the application exists.
    bool claim(Request request = Request::ComeForward, const QByteArray &xDisplay = {});
    // Requests reach this clock as signals from here on; needs the application.
    void listen();

    // The selection that marks the clock of an X display.
    static QByteArray selectionName();
    // Without X: the socket for this display in the user's runtime folder; empty without one.
    static QString socketName();

Q_SIGNALS:
    // A later start on this display asked the running clock to come forward.
    void activationRequested();
    // A later start asked the running clock to speak the time now.
    void speakRequested();

private:
    void deliver(quint32 code);

    struct Owner;
    std::unique_ptr<Owner> m_owner;
};

} // namespace platform
