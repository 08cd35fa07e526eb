#include "platform/focusreturn.h"

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
    m_previous = window;
}

} // namespace platform
