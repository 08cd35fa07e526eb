#pragma once

#include <QPoint>
#include <QRect>

#include <functional>

class QIcon;
class QMenu;
class QWidget;
class QMouseEvent;

namespace platform {

// Keeps a window above all normal windows, shown, without giving it the activation.
void keepAbove(QWidget *window);

// Where the window manager cannot keep a window above the others (it announces no
// _NET_WM_STATE_ABOVE: i3, sway's XWayland), the window goes unmanaged (override-redirect): it keeps
// its own size and place, no taskbar lists it, and it raises itself again whenever a window is
// stacked over it, but never over another program's full-screen window (a locker, a screen saver, a
// film). Call before the window is first shown. True when the window went unmanaged. Where the window
// manager starts, ends or is replaced later, the window follows as a fresh start would, is shown
// again, and managerChanged runs.
bool unmanagedWhereNotKeptAbove(QWidget *window, std::function<void()> managerChanged = {});

// True for a window that no window manager manages.
bool isUnmanaged(const QWidget *window);

// A click gives a managed window the focus through the window manager; an unmanaged one takes it
// itself on the press, so coming back to it from another window of the program is seen.
void focusOnPress(QWidget *window);

// Keeps a window off the taskbar and pagers. Works on a window not yet mapped (from its showEvent,
// which comes just before the mapping) as well as on one already shown.
void skipTaskbar(QWidget *window);

// The whole primary screen in the virtual desktop's coordinates, taskbars included.
QRect primaryScreenGeometry();

// Moves a window's top-left corner to screen coordinates.
void moveTo(QWidget *window, QPoint topLeft);

// Hands a press-and-move of the left button to the window manager's own move, so the window
// follows the pointer until the button is released. globalPress is where the button went down.
// On Wayland the compositor's own move takes it. Where no window manager takes it (none runs, or
// the window is unmanaged), the window follows the pointer itself through followPointer().
// Returns true when the move went to the window manager.
bool startSystemMove(QWidget *window, QPoint globalPress);

// True where the move of startSystemMove starts from the pointer's place at the request, not from
// the press (a Wayland compositor's): the request then belongs at the press.
bool moveStartsWhereAsked();

// Withdraws a move request that the window manager had not taken up when the button came up
// (the release then reached the window), so the window does not go on following the pointer.
void cancelSystemMove(QWidget *window);

// Feeds the in-program move (used where the window manager cannot move the window).
// Returns true while such a move is under way.
bool followPointer(QWidget *window, const QMouseEvent *event);

// Per-window opacity, 0 transparent to 255 opaque. False when the window cannot take it.
bool setOpacity(QWidget *window, int alpha);

// An empty icon for windows designed without one: an unset icon would show the program's own.
QIcon blankIcon();

// Opens a popup menu at the mouse pointer; returns once an item is chosen or the menu is dismissed.
void popupAtPointer(QMenu *menu);

} // namespace platform
