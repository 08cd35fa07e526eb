#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// What the environment says about the desktop session, read before the application exists.
struct Oturum
{
    QByteArray qpaPlatform;    // QT_QPA_PLATFORM
    QByteArray oturumTuru;     // XDG_SESSION_TYPE
    QByteArray waylandEkrani;  // WAYLAND_DISPLAY
    QByteArray xEkrani;        // DISPLAY

    static Oturum ortamdan();
};

// The window-system platform the program asks Qt for; empty leaves the choice to Qt (and to a user
// who set QT_QPA_PLATFORM). A Wayland client may neither place nor raise its own window, so where an
// X display is offered beside Wayland (XWayland) the clock runs there, with Wayland as Qt's
// fallback when that display cannot be opened.
QByteArray platformSec(const Oturum &oturum);

// True on a platform where the clock can neither park at the corner nor stay above other windows.
bool kisitliPlatform(const QString &platformAdi);

// The one line said on stderr on such a platform.
QString kisitlamaMesaji();

} // namespace platform
