#include "platform/toolwindow.h"

#include "platform/qttranslation.h"
#include "platform/windowmanager.h"

#include <QEvent>
#include <QIcon>
#include <QWidget>

namespace platform {

namespace {

// Keeps the window off the taskbar: the show event comes just before each mapping, when the window
// manager finds the state at once.
class OffTaskbar : public QObject
{
public:
    explicit OffTaskbar(QWidget *window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            skipTaskbar(static_cast<QWidget *>(watched));
        return false;
    }
};

} // namespace

void makeToolWindow(QWidget *window, ToolWindowKind kind, const QIcon &icon)
{
    const Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    window->setWindowFlags((kind == ToolWindowKind::Tool ? Qt::Tool : Qt::Window) | frame);
    // An unset icon would show the program's own.
    window->setWindowIcon(kind == ToolWindowKind::Tool ? blankIcon() : icon);
    if (kind != ToolWindowKind::Window)
        new OffTaskbar(window);
    // Its context menus, message boxes and the colour chooser are Qt's own.
    loadQtTranslation();
}

void makeToolWindow(QWidget *window, ToolWindowKind kind)
{
    makeToolWindow(window, kind, QIcon());
}

void showOrRaise(QWidget *window)
{
    // A window minimised with the window manager's button comes back when chosen again.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace platform
