#pragma once

class QIcon;
class QWidget;

namespace platform {

// The kinds of window the menu opens. Each has a title bar with the close button only, no minimise
// or maximise button; whether it can be resized is the window's own business (its size).
enum class ToolWindowKind {
    Tool,   // a thin title bar, no icon, no taskbar entry
    Dialog, // a normal title bar with the window's own icon, no taskbar entry
    Window, // a normal title bar with the window's own icon and a taskbar entry
};

// Gives a window opened from the menu its flags, its icon (blank for a Tool) and, on every show,
// its taskbar state, and loads Qt's Turkish texts for it. Called from the window's constructor,
// before it is first shown.
void makeToolWindow(QWidget *window, ToolWindowKind kind, const QIcon &icon);
void makeToolWindow(QWidget *window, ToolWindowKind kind);

// Shows a window opened from the menu, or brings it to the front when it is open already. Every such
// window comes to the front through here, so what that takes on a desktop belongs here too.
void showOrRaise(QWidget *window);

} // namespace platform
