#pragma once

class QAbstractButton;
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
// its taskbar state, and loads Qt's Turkish texts for it; Escape closes it as its close button does,
// and the control with the keyboard focus wears a ring that shows on any colour. Called from the
// window's constructor, before it is first shown.
void makeToolWindow(QWidget *window, ToolWindowKind kind, const QIcon &icon);
void makeToolWindow(QWidget *window, ToolWindowKind kind);

// The button that confirms a window made by makeToolWindow: Enter presses it, unless the focus is on
// another button, which Enter presses instead. A screen reader then finds the window as a dialog.
void setDefaultButton(QWidget *window, QAbstractButton *button);

// Shows a window opened from the menu, or brings it to the front when it is open already. Every such
// window comes to the front through here, so what that takes on a desktop belongs here too.
void showOrRaise(QWidget *window);

// Shows a window above all others without taking the keyboard focus from the window the user is
// typing in, now or when it is clicked: a notice that comes by itself.
void showAboveWithoutFocus(QWidget *window);

} // namespace platform
