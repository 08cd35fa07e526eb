#pragma once

#include "platform/replaceable.h"

#include <QUrl>

namespace platform {

// Hands an address to the desktop's browser without waiting for it.
// No shell and no command line are involved.
bool openUrl(const QUrl &url);

// Tests install an opener of their own that notes the addresses instead.
class UrlOpener : public Replaceable<UrlOpener>
{
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const QUrl &url) = 0;
};

} // namespace platform
