#pragma once

#include <QString>

#include <functional>

class QLabel;
class QMenu;
class QWidget;

namespace platform {

// What a screen reader is told a window is. Its name stays its caption unless it is given one.
enum class AccessibleRole { Frame, Dialog };
void setAccessibleRole(QWidget *window, AccessibleRole role);

// Decoration whose text only flickers: a screen reader neither finds it nor hears it change.
void hideFromScreenReaders(QWidget *widget);

// A field that shows changing digits: a screen reader finds it by its purpose and reads the digits
// shown as its description, without being told of every change.
void nameField(QLabel *field, const QString &name);

// A picture that acts as a button: a screen reader finds it by name and presses it as the mouse
// does. The press runs after the reader's call has returned, so a popup it opens cannot hold it.
void makeAccessibleButton(QWidget *widget, const QString &name, std::function<void()> press);

// A popup opened from a window has no parent window of its own: a screen reader finds it inside
// owner. Its items are named by their captions, without the shortcut label after the tab.
void setAccessibleOwner(QMenu *popup, QWidget *owner);

} // namespace platform
