#pragma once

#include <QUrl>

namespace platform {

// Hands an address to the desktop's browser without waiting for it.
// No shell and no command line are involved; tests intercept through QDesktopServices::setUrlHandler.
bool openUrl(const QUrl &url);

} // namespace platform
