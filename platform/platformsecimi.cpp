#include "platform/platformsecimi.h"

namespace platform {

Oturum Oturum::ortamdan()
{
    return {qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
            qgetenv("DISPLAY")};
}

QByteArray platformSec(const Oturum &oturum)
{
    if (!oturum.qpaPlatform.trimmed().isEmpty())
        return {};
    const bool wayland = oturum.oturumTuru.trimmed().toLower() == "wayland" ||
                         !oturum.waylandEkrani.trimmed().isEmpty();
    if (!wayland)
        return {};
    // Wayland stays the fallback: a DISPLAY left over from another session names no X server.
    if (!oturum.xEkrani.trimmed().isEmpty())
        return QByteArrayLiteral("xcb;wayland");
    // No X display: Qt's own default (xcb) would fail to start at all.
    return QByteArrayLiteral("wayland");
}

bool kisitliPlatform(const QString &platformAdi)
{
    return platformAdi.startsWith(QLatin1String("wayland"), Qt::CaseInsensitive);
}

QString kisitlamaMesaji()
{
    return QStringLiteral("Velmora: Wayland oturumunda X ekranı (XWayland) yok; saat ekranın sağ alt köşesine "
                          "yerleşemiyor ve diğer pencerelerin üstünde kalamıyor.");
}

} // namespace platform
