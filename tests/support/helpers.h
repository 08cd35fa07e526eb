#pragma once

#include <QByteArray>
#include <QStringList>
#include <QWidget>

class Menu;
class QAction;
class QIcon;

// The keys of the store's file in the order they stand.
QStringList storeKeyOrder();

// The store's file as it is on disk; empty when there is none.
QByteArray storeBytes();

// The ten keys the first run writes, in its order.
QStringList firstRunKeys();

// True when an icon shows nothing: every pixel fully transparent.
bool isBlankIcon(const QIcon &icon);

// True when the control with the window's focus wears a mark drawn over it that stands out from
// the control itself on the outer three lines at the middle of its top and of its left edge.
bool focusRingShown(QWidget *window);

// A command of the popup or of its submenu, by item name; the test program ends when there is none.
QAction *menuCommand(Menu &menu, const char *name);


// A child widget by object name; the test program ends when there is none.
template <typename T> T *child(const QWidget *window, const char *name)
{
    T *w = window->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}
