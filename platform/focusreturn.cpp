#include "platform/focusreturn.h"

#include "platform/windowmanager.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace platform {

FocusReturn::FocusReturn(QWidget *window) : QObject(window), m_window(window)
{
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &FocusReturn::focusWindowChanged);
}

void FocusReturn::focusWindowChanged(QWindow *window)
{
    if (window && window->type() == Qt::Popup)
        return;
    QWindow *own = m_window->windowHandle();
    if (window && window == own && m_previous && m_previous != own)
        Q_EMIT returned();
    // No window manager gives an unmanaged window the focus when another window of the program
    // closes: that window's going is the return. One left for another program is still shown.
    else if (!window && m_otherHadFocus && isUnmanaged(m_window) && (!m_previous || !m_previous->isVisible()))
        Q_EMIT returned();
    m_previous = window;
    m_otherHadFocus = window && window != own;
}

} // namespace platform
