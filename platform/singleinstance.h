#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace platform {

// One clock per display of a user. The first start on a display listens on a local socket named after
// the user and the display; a later start on the same display connects there, which asks the running
// clock to come forward, and then ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);

    // True when this process is now the display's one clock; false when another already runs there
    // and has been asked to come forward.
    bool claim();

    // The socket for this user and display, in the user's runtime folder.
    static QString socketName();

Q_SIGNALS:
    // A later start on this display asked the running clock to come forward.
    void activationRequested();

private:
    void acceptStart();

    QLocalServer *m_server = nullptr;
};

} // namespace platform
