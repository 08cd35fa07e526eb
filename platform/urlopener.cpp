#include "platform/urlopener.h"

#include <QDesktopServices>

namespace platform {

bool openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace platform
