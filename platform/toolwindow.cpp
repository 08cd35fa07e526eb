#include "platform/toolwindow.h"

#include "platform/accessibility.h"
#include "platform/qttranslation.h"
#include "platform/windowmanager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
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

// Escape closes the window as its close button does; Enter presses the focused button, else the
// window's default one. Keys reach the window only when the focused control leaves them alone.
class DialogKeys : public QObject
{
    Q_OBJECT
public:
    explicit DialogKeys(QWidget *window) : QObject(window), m_window(window) { window->installEventFilter(this); }

    QPointer<QAbstractButton> defaultButton;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (key->key() == Qt::Key_Escape) {
            m_window->close();
            return true;
        }
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        QAbstractButton *button = qobject_cast<QAbstractButton *>(m_window->focusWidget());
        if (!button)
            button = defaultButton;
        if (button && button->isEnabled())
            button->click();
        return button != nullptr;
    }

private:
    QWidget *m_window;
};

// A ring over the edge of the control with the keyboard focus: black, white and black lines, one of
// which stands out from any colour, also from a theme's highlight, in which a style draws its own
// focus mark and which is the background of some windows. A focus frame, so a screen reader passes
// it by.
class FocusRing : public QFocusFrame
{
public:
    explicit FocusRing(QWidget *window) : QFocusFrame(window), m_window(window)
    {
        hide();
        connect(qApp, &QApplication::focusChanged, this, &FocusRing::follow);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_target && (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
                                    event->type() == QEvent::Show || event->type() == QEvent::Hide))
            place();
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        for (int i = 0; i < 3; ++i) {
            p.setPen(i == 1 ? Qt::white : Qt::black);
            p.drawRect(rect().adjusted(i, i, -1 - i, -1 - i));
        }
    }

private:
    void follow(QWidget *, QWidget *now)
    {
        if (m_target)
            m_target->removeEventFilter(this);
        m_target = now && now != m_window && now->window() == m_window ? now : nullptr;
        if (m_target)
            m_target->installEventFilter(this);
        place();
    }

    void place()
    {
        if (!m_target || !m_target->isVisible()) {
            hide();
            return;
        }
        setGeometry(QRect(m_target->mapTo(m_window, QPoint(0, 0)), m_target->size()));
        raise();
        show();
    }

    QWidget *m_window;
    QPointer<QWidget> m_target;
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
    new DialogKeys(window);
    new FocusRing(window);
    setAccessibleRole(window, AccessibleRole::Frame);
}

void setDefaultButton(QWidget *window, QAbstractButton *button)
{
    if (auto *keys = window->findChild<DialogKeys *>(QString(), Qt::FindDirectChildrenOnly))
        keys->defaultButton = button;
    setAccessibleRole(window, AccessibleRole::Dialog);
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

void showAboveWithoutFocus(QWidget *window)
{
    // Flags set on a shown window would hide it again.
    if (!window->isVisible())
        window->setWindowFlag(Qt::WindowDoesNotAcceptFocus, true);
    keepAbove(window);
}

} // namespace platform

#include "toolwindow.moc"
