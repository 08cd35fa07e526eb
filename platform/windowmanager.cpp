#include "platform/windowmanager.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstring>

namespace platform {

namespace {

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    const xcb_window_t root = tree ? tree->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(tree);
    return root;
}

void sendToRoot(xcb_connection_t *c, xcb_window_t window, xcb_atom_t type, const uint32_t (&data)[5])
{
    xcb_client_message_event_t ev;
    std::memset(&ev, 0, sizeof ev);
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = type;
    std::memcpy(ev.data.data32, data, sizeof data);
    xcb_send_event(c, 0, rootOf(c, window),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&ev));
    xcb_flush(c);
}

// The in-program move: where the window manager does not move the window, it follows the pointer.
struct PointerFollow
{
    QPointer<QWidget> window;
    QPoint offset;
};
PointerFollow follow;

} // namespace

void keepAbove(QWidget *window)
{
    if (!window)
        return;
    if (!(window->windowFlags() & Qt::WindowStaysOnTopHint))
        window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (!window->isVisible())
        window->show();
    window->raise();
}

void skipTaskbar(QWidget *window)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window || !window->windowHandle())
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    const xcb_atom_t skipPager = atom(c, "_NET_WM_STATE_SKIP_PAGER");
    const uint32_t add = 1;
    const uint32_t data[5] = {add, skipTaskbar, skipPager, 1, 0};
    sendToRoot(c, id, state, data);
}

QRect primaryScreenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

void moveTo(QWidget *window, QPoint topLeft)
{
    if (window)
        window->move(topLeft);
}

void startSystemMove(QWidget *window, QPoint globalPointer)
{
    if (!window)
        return;
    xcb_connection_t *c = x11Connection();
    if (c && window->windowHandle()) {
        // Qt 6.4's own startSystemMove gives the window manager the pointer's position inside the
        // window, so the window jumps away; the request wants root coordinates in device pixels.
        const QScreen *screen = window->windowHandle()->screen();
        const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
        const QPoint device = origin + (globalPointer - origin) * window->devicePixelRatioF();
        const auto id = static_cast<xcb_window_t>(window->winId());
        xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
        const uint32_t moveDirection = 8; // _NET_WM_MOVERESIZE_MOVE
        const uint32_t data[5] = {uint32_t(device.x()), uint32_t(device.y()), moveDirection, 1, 1};
        sendToRoot(c, id, atom(c, "_NET_WM_MOVERESIZE"), data);
        return;
    }
    follow.window = window;
    follow.offset = globalPointer - window->frameGeometry().topLeft();
}

bool followPointer(QWidget *window, const QMouseEvent *event)
{
    if (!follow.window || follow.window != window)
        return false;
    if (event->type() == QEvent::MouseButtonRelease || !(event->buttons() & Qt::LeftButton)) {
        follow.window = nullptr;
        return false;
    }
    window->move(event->globalPosition().toPoint() - follow.offset);
    return true;
}

bool setOpacity(QWidget *window, int alpha)
{
    if (!window || !window->isWindow() || alpha < 0 || alpha > 255)
        return false;
    window->setWindowOpacity(alpha / 255.0);
    return true;
}

} // namespace platform
