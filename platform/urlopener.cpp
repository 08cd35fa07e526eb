#include "platform/urlopener.h"

#include <QDesktopServices>

namespace platform {

bool openUrl(const QUrl &url)
{
    if (UrlOpener *opener = UrlOpener::installed())
        return opener->open(url);
    return QDesktopServices::openUrl(url);
}

} // namespace platform
