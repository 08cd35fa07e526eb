#pragma once

#include <QRect>

#include <functional>

class QObject;

namespace platform {

// Calls changed() after every change of the desktop's screens (a screen added or removed, the
// primary screen changed, a screen resized or moved), for as long as context lives. The call comes
// once the change has been taken in, from the event loop.
void watchScreens(QObject *context, std::function<void()> changed);

// True when the rectangle, in the virtual desktop's coordinates, lies wholly on the screens.
bool whollyOnScreens(const QRect &rect);

} // namespace platform
