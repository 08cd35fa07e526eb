#include "platform/windowmanager.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <dlfcn.h>

#include <algorithm>
#include <functional>
#include <type_traits>
#include <utility>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace platform {

namespace {

// An xcb reply, freed with free() as xcb asks, however the function that holds it ends.
struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    return tree ? tree->root : xcb_window_t(XCB_WINDOW_NONE);
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

bool isMapped(xcb_connection_t *c, xcb_window_t window)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
}

std::vector<xcb_atom_t> atomList(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    std::vector<xcb_atom_t> atoms;
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        atoms.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
    return atoms;
}

xcb_window_t windowProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_WINDOW &&
        xcb_get_property_value_length(reply.get()) >= 4)
        return *static_cast<const xcb_window_t *>(xcb_get_property_value(reply.get()));
    return XCB_WINDOW_NONE;
}

// The running EWMH window manager's check window, or none. What a window manager that has gone left
// on the root does not count: its check window must still point at itself.
xcb_window_t windowManagerCheck(xcb_connection_t *c, xcb_window_t root)
{
    const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t wm = windowProperty(c, root, check);
    if (wm == XCB_WINDOW_NONE || windowProperty(c, wm, check) != wm)
        return XCB_WINDOW_NONE;
    return wm;
}

// What a running EWMH window manager announces; empty without one.
std::vector<xcb_atom_t> windowManagerSupports(xcb_connection_t *c, xcb_window_t root)
{
    if (windowManagerCheck(c, root) == XCB_WINDOW_NONE)
        return {};
    return atomList(c, root, atom(c, "_NET_SUPPORTED"));
}

// The running EWMH window manager's name (_NET_WM_NAME of its check window); empty without one.
QByteArray windowManagerName(xcb_connection_t *c, xcb_window_t root)
{
    const xcb_window_t wm = windowManagerCheck(c, root);
    if (wm == XCB_WINDOW_NONE)
        return {};
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, wm, atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 0, 64), nullptr));
    if (!reply || reply->format != 8)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

bool contains(const std::vector<xcb_atom_t> &atoms, xcb_atom_t a)
{
    return std::find(atoms.begin(), atoms.end(), a) != atoms.end();
}

// True when a running EWMH window manager takes move requests.
bool windowManagerMoves(xcb_connection_t *c, xcb_window_t root)
{
    return contains(windowManagerSupports(c, root), atom(c, "_NET_WM_MOVERESIZE"));
}

// A window of another program that covers the whole screen over the clock: a locker or screen saver
// (unmanaged), or a full-screen window a window manager frames. Neither is to be fought for the top.
bool foreignFullScreenAbove(xcb_connection_t *c, xcb_window_t window, const QWidget *widget)
{
    const xcb_window_t root = rootOf(c, window);
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
    if (!tree)
        return false;
    const QScreen *screen = widget->screen();
    const QRect logical = screen ? screen->geometry() : QRect();
    const QRect monitor(logical.topLeft(), logical.size() * (screen ? screen->devicePixelRatio() : 1.0));
    QList<WId> ours;
    for (const QWindow *w : QGuiApplication::allWindows())
        if (w->handle())
            ours.append(w->winId());
    const xcb_atom_t fullScreen = atom(c, "_NET_WM_STATE_FULLSCREEN");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Bottom to top: only the windows stacked above the clock count.
    const int at = int(std::find(children, children + count, window) - children);
    for (int i = at + 1; i < count; ++i) {
        const xcb_window_t w = children[i];
        if (ours.contains(WId(w)))
            continue;
        const Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
        if (!g || !QRect(g->x, g->y, g->width, g->height).contains(monitor))
            continue;
        if (attributes->override_redirect || contains(atomList(c, w, state), fullScreen))
            return true;
        // A frame of the window manager: the state is its client's.
        const Reply<xcb_query_tree_reply_t> inner(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
        if (!inner)
            continue;
        const xcb_window_t *clients = xcb_query_tree_children(inner.get());
        for (int k = 0; k < xcb_query_tree_children_length(inner.get()); ++k)
            if (contains(atomList(c, clients[k], state), fullScreen))
                return true;
    }
    return false;
}

// Raises an unmanaged window when the X server says another window covers it, unless the covering
// window is the program's own popup menu or another program's full-screen window. A window that
// raises itself too would otherwise trade the top with it without end: a few raises a second at
// most. It lives as long as the window.
class Restacker : public QObject, public QAbstractNativeEventFilter
{
public:
    Restacker(QWidget *window, xcb_connection_t *c)
        : QObject(window), m_connection(c), m_window(static_cast<xcb_window_t>(window->winId())),
          m_widget(window)
    {
        m_later.setSingleShot(true);
        connect(&m_later, &QTimer::timeout, this, &Restacker::raiseIfCovered);
        qApp->installNativeEventFilter(this);
    }
    ~Restacker() override { qApp->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY)
            return false;
        const auto *visibility = reinterpret_cast<const xcb_visibility_notify_event_t *>(event);
        if (visibility->window != m_window)
            return false;
        m_covered = visibility->state != XCB_VISIBILITY_UNOBSCURED;
        if (m_covered && !m_later.isActive()) {
            const qint64 since = m_lastRaise.isValid() ? m_lastRaise.elapsed() : minGapMs;
            m_later.start(int(std::max<qint64>(0, minGapMs - since)));
        }
        return false;
    }

private:
    static constexpr qint64 minGapMs = 250;

    void raiseIfCovered()
    {
        if (!m_covered || QApplication::activePopupWidget() ||
            foreignFullScreenAbove(m_connection, m_window, m_widget))
            return;
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(m_connection, m_window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_flush(m_connection);
        m_lastRaise.start();
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_window;
    QWidget *m_widget; // the parent
    QTimer m_later;
    QElapsedTimer m_lastRaise;
    bool m_covered = false;
};

// The in-program move: where the window manager does not move the window, it follows the pointer.
struct PointerFollow
{
    QPointer<QWidget> window;
    QPoint offset;
    QPointF pointer;            // where the pointer is, as far as the window knows
    xcb_timestamp_t seenAt = 0; // the X time of the last motion event taken
};
PointerFollow follow;

void followTo(QPointF pointer)
{
    follow.pointer = pointer;
    follow.window->move(pointer.toPoint() - follow.offset);
}

// XInput's client library, loaded at the first move the program makes itself, and kept only on
// XWayland, where that move needs it: an idle clock maps no more than it draws with.
struct XInput
{
    void *handle = nullptr;
    xcb_extension_t *id = nullptr;
    decltype(&xcb_input_xi_query_device) queryDevice = nullptr;
    decltype(&xcb_input_xi_query_device_reply) queryDeviceReply = nullptr;
    decltype(&xcb_input_xi_query_device_infos_iterator) infos = nullptr;
    decltype(&xcb_input_xi_device_info_next) next = nullptr;
    decltype(&xcb_input_xi_device_info_name) name = nullptr;
    decltype(&xcb_input_xi_device_info_name_length) nameLength = nullptr;
    decltype(&xcb_input_xi_select_events) selectEvents = nullptr;
    decltype(&xcb_input_raw_button_press_valuator_mask) valuatorMask = nullptr;
    decltype(&xcb_input_raw_button_press_axisvalues) axisValues = nullptr;

    bool load()
    {
        handle = dlopen("libxcb-xinput.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return false;
        auto get = [this](auto &function, const char *symbol) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, symbol));
            return function != nullptr;
        };
        id = static_cast<xcb_extension_t *>(dlsym(handle, "xcb_input_id"));
        if (id && get(queryDevice, "xcb_input_xi_query_device") &&
            get(queryDeviceReply, "xcb_input_xi_query_device_reply") &&
            get(infos, "xcb_input_xi_query_device_infos_iterator") && get(next, "xcb_input_xi_device_info_next") &&
            get(name, "xcb_input_xi_device_info_name") && get(nameLength, "xcb_input_xi_device_info_name_length") &&
            get(selectEvents, "xcb_input_xi_select_events") &&
            get(valuatorMask, "xcb_input_raw_button_press_valuator_mask") &&
            get(axisValues, "xcb_input_raw_button_press_axisvalues"))
            return true;
        unload();
        return false;
    }

    // libxcb keeps no pointer into the library once its requests are answered.
    void unload()
    {
        if (handle)
            dlclose(handle);
        *this = XInput();
    }

    // XWayland names its input devices after itself (its XWAYLAND extension came only with 23.1).
    bool onXWayland(xcb_connection_t *c) const
    {
        const Reply<xcb_input_xi_query_device_reply_t> reply(
            queryDeviceReply(c, queryDevice(c, XCB_INPUT_DEVICE_ALL), nullptr));
        if (!reply)
            return false;
        for (auto it = infos(reply.get()); it.rem; next(&it)) {
            const QLatin1StringView device(name(it.data), nameLength(it.data));
            if (device.startsWith(QLatin1StringView("xwayland-")))
                return true;
        }
        return false;
    }
};

double fromFixed(xcb_input_fp3232_t v)
{
    return v.integral + v.frac / 4294967296.0;
}

// wlroots (sway) sends an XWayland window no motion while the pointer stays on the spot of the
// window where it last was, which is every other step of a window that moves with it; two such
// steps and the pointer has left the window, the drag with it. The pointer's relative motion still
// comes, as XInput raw motion: while the window follows the pointer it adds that up. Asked for only
// during the move, so the idle clock is not woken by every motion of the pointer.
class RawMotion : public QAbstractNativeEventFilter
{
public:
    static void listen(bool on)
    {
        xcb_connection_t *c = x11Connection();
        if (!c)
            return;
        // Decided at the first move, once; lives as long as the program, removed with the event dispatcher.
        static RawMotion *const filter = forXWayland(c);
        if (!filter || on == filter->m_on)
            return;
        const xcb_query_extension_reply_t *xi = xcb_get_extension_data(c, filter->m_xi.id);
        filter->m_opcode = xi && xi->present ? xi->major_opcode : 0;
        if (!filter->m_opcode)
            return;
        struct
        {
            xcb_input_event_mask_t head;
            uint32_t bits;
        } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u};
        filter->m_xi.selectEvents(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 1, &mask.head);
        xcb_flush(c);
        filter->m_on = on;
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (!m_on || !follow.window || type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_ge_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_GE_GENERIC || event->extension != m_opcode ||
            event->event_type != XCB_INPUT_RAW_MOTION)
            return false;
        auto *raw = const_cast<xcb_input_raw_motion_event_t *>(
            reinterpret_cast<const xcb_input_raw_motion_event_t *>(event));
        // The motion event of the same step, when it came first, has counted it already.
        if (raw->time <= follow.seenAt || raw->valuators_len < 1)
            return false;
        const uint32_t bits = *m_xi.valuatorMask(raw);
        const xcb_input_fp3232_t *values = m_xi.axisValues(raw);
        QPointF delta;
        if (bits & 1)
            delta.setX(fromFixed(*values++));
        if (bits & 2)
            delta.setY(fromFixed(*values));
        followTo(follow.pointer + delta / follow.window->devicePixelRatioF());
        return false;
    }

private:
    explicit RawMotion(const XInput &xi) : m_xi(xi) {}

    static RawMotion *forXWayland(xcb_connection_t *c)
    {
        XInput xi;
        if (!xi.load())
            return nullptr;
        if (!xi.onXWayland(c)) {
            xi.unload();
            return nullptr;
        }
        auto *filter = new RawMotion(xi);
        qApp->installNativeEventFilter(filter);
        return filter;
    }

    XInput m_xi;
    bool m_on = false;
    uint8_t m_opcode = 0;
};

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

namespace {

// What a fresh start would make of the window under the window manager running now.
bool wantsUnmanaged(xcb_connection_t *c, xcb_window_t root)
{
    const std::vector<xcb_atom_t> supported = windowManagerSupports(c, root);
    if (supported.empty())
        return false;
    // wlroots' own (sway 1.12) announces ABOVE since 0.19, yet centres a floating window where the
    // program placed it and stacks it among the other floating ones as before.
    return !contains(supported, atom(c, "_NET_WM_STATE_ABOVE")) || windowManagerName(c, root) == "wlroots wm";
}

void addEventMask(xcb_connection_t *c, xcb_window_t window, uint32_t events)
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    const uint32_t mask = (attributes ? attributes->your_event_mask : 0) | events;
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
}

QObject *goUnmanaged(QWidget *window, xcb_connection_t *c)
{
    window->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    const auto id = static_cast<xcb_window_t>(window->winId());
    addEventMask(c, id, XCB_EVENT_MASK_VISIBILITY_CHANGE);
    // No window manager reads the type of an unmanaged window, but wlroots (sway 1.10) gives the
    // keyboard to none typed utility, so Escape would never reach its popup menu.
    const xcb_atom_t normal = atom(c, "_NET_WM_WINDOW_TYPE_NORMAL");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &normal);
    xcb_flush(c);
    return new Restacker(window, c);
}

// A window manager that starts, ends or gives way to another while the window is up: the window
// becomes managed or unmanaged as a fresh start would make it, and is shown again.
class ManagerWatch : public QObject, public QAbstractNativeEventFilter
{
public:
    ManagerWatch(QWidget *window, xcb_connection_t *c, QObject *restacker, std::function<void()> changed)
        : QObject(window), m_window(window), m_connection(c), m_restacker(restacker),
          m_changed(std::move(changed))
    {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        m_checkAtom = atom(c, "_NET_SUPPORTING_WM_CHECK");
        m_supportedAtom = atom(c, "_NET_SUPPORTED");
        addEventMask(c, m_root, XCB_EVENT_MASK_PROPERTY_CHANGE);
        watchCheckWindow();
        // A window manager sets its properties one by one as it starts: looked at once they are in.
        m_settle.setSingleShot(true);
        m_settle.setInterval(200);
        connect(&m_settle, &QTimer::timeout, this, &ManagerWatch::follow);
        // A window manager that is still starting may drop a map request: the window would stay
        // unmapped for good. Looked at a while after it is shown, and asked for again if so.
        m_mapCheck.setSingleShot(true);
        m_mapCheck.setInterval(500);
        connect(&m_mapCheck, &QTimer::timeout, this, &ManagerWatch::mapAgainIfDropped);
        m_mapCheck.start();
        qApp->installNativeEventFilter(this);
    }
    ~ManagerWatch() override { qApp->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_PROPERTY_NOTIFY) {
            const auto *p = reinterpret_cast<const xcb_property_notify_event_t *>(event);
            if (p->window == m_root && (p->atom == m_checkAtom || p->atom == m_supportedAtom))
                m_settle.start();
        } else if (kind == XCB_DESTROY_NOTIFY) {
            if (reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_check)
                m_settle.start();
        }
        return false;
    }

private:
    void watchCheckWindow()
    {
        m_check = windowProperty(m_connection, m_root, m_checkAtom);
        if (m_check != XCB_WINDOW_NONE) {
            const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(m_connection, m_check, XCB_CW_EVENT_MASK, &mask);
            xcb_flush(m_connection);
        }
    }

    void follow()
    {
        watchCheckWindow();
        if (!m_window || wantsUnmanaged(m_connection, m_root) == isUnmanaged(m_window))
            return;
        m_shown = m_shown || m_window->isVisible();
        m_window->hide();
        // A managed window is handed back to the root by its window manager once it is withdrawn; mapped
        // again before that, it would land in the old frame.
        const auto id = static_cast<xcb_window_t>(m_window->winId());
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, id), nullptr));
        if (tree && tree->parent != m_root && ++m_waits < 10) {
            m_settle.start();
            return;
        }
        m_waits = 0;
        // Where the last window manager left it, which Qt need not know: a move to the place Qt
        // believes it at would be no move at all.
        const Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr));
        if (g)
            m_window->move(QPoint(g->x, g->y) / m_window->devicePixelRatioF());
        delete m_restacker.data();
        if (wantsUnmanaged(m_connection, m_root))
            m_restacker = goUnmanaged(m_window, m_connection);
        else
            m_window->setWindowFlag(Qt::X11BypassWindowManagerHint, false);
        if (std::exchange(m_shown, false)) {
            m_window->show();
            m_mapTries = 0;
            m_mapCheck.start();
            if (m_changed)
                m_changed();
        }
    }

    void mapAgainIfDropped()
    {
        if (!m_window || ++m_mapTries > 10)
            return;
        if (!m_window->isVisible()) {
            m_mapCheck.start(); // not shown yet
            return;
        }
        const auto id = static_cast<xcb_window_t>(m_window->winId());
        const Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, id), nullptr));
        if (!a || a->map_state != XCB_MAP_STATE_UNMAPPED)
            return;
        xcb_map_window(m_connection, id);
        xcb_flush(m_connection);
        m_mapCheck.start();
    }

    QPointer<QWidget> m_window;
    xcb_connection_t *m_connection;
    QPointer<QObject> m_restacker;
    std::function<void()> m_changed;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    xcb_window_t m_check = XCB_WINDOW_NONE;
    xcb_atom_t m_checkAtom = XCB_ATOM_NONE;
    xcb_atom_t m_supportedAtom = XCB_ATOM_NONE;
    QTimer m_settle;
    QTimer m_mapCheck;
    bool m_shown = false;
    int m_waits = 0;
    int m_mapTries = 0;
};

} // namespace

bool unmanagedWhereNotKeptAbove(QWidget *window, std::function<void()> managerChanged)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    QObject *restacker = wantsUnmanaged(c, root) ? goUnmanaged(window, c) : nullptr;
    new ManagerWatch(window, c, restacker, std::move(managerChanged));
    return restacker != nullptr;
}

bool isUnmanaged(const QWidget *window)
{
    return window && (window->windowFlags() & Qt::X11BypassWindowManagerHint);
}

void focusOnPress(QWidget *window)
{
    if (isUnmanaged(window) && window->windowHandle() &&
        QGuiApplication::focusWindow() != window->windowHandle())
        window->activateWindow();
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
    if (!isMapped(c, id)) {
        // A window manager ignores state requests for a window it does not manage yet; before mapping
        // the property is the client's to write. Qt adds its own states (above) to what it finds there.
        std::vector<xcb_atom_t> atoms = atomList(c, id, state);
        for (xcb_atom_t a : {skipTaskbar, skipPager})
            if (std::find(atoms.begin(), atoms.end(), a) == atoms.end())
                atoms.push_back(a);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.data());
        xcb_flush(c);
        return;
    }
    const uint32_t add = 1;
    const uint32_t sourceApplication = 1;
    const uint32_t data[5] = {add, skipTaskbar, skipPager, sourceApplication, 0};
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

bool startSystemMove(QWidget *window, QPoint globalPress)
{
    if (!window)
        return false;
    xcb_connection_t *c = x11Connection();
    if (c && window->windowHandle() && !isUnmanaged(window)) {
        const auto id = static_cast<xcb_window_t>(window->winId());
        const xcb_window_t root = rootOf(c, id);
        if (windowManagerMoves(c, root)) {
            // Qt 6.4's own startSystemMove gives the window manager the pointer's position inside the
            // window, so the window jumps away; the request wants root coordinates in device pixels.
            // They are those of the press: the window manager moves the window by the pointer's way from
            // there, so the way already gone before it took over is not lost.
            const QScreen *screen = window->windowHandle()->screen();
            const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
            const QPoint device = origin + (globalPress - origin) * window->devicePixelRatioF();
            xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
            const uint32_t moveDirection = 8; // _NET_WM_MOVERESIZE_MOVE
            const uint32_t leftButton = 1;
            const uint32_t sourceApplication = 1;
            const uint32_t data[5] = {uint32_t(device.x()), uint32_t(device.y()), moveDirection, leftButton,
                                      sourceApplication};
            sendToRoot(c, id, atom(c, "_NET_WM_MOVERESIZE"), data);
            return true;
        }
    }
    // A Wayland client cannot place its window: the compositor moves it, from the pointer's place now.
    if (moveStartsWhereAsked() && window->windowHandle() && window->windowHandle()->startSystemMove())
        return true;
    follow.window = window;
    follow.offset = globalPress - window->frameGeometry().topLeft();
    follow.pointer = globalPress;
    follow.seenAt = 0;
    RawMotion::listen(true);
    return false;
}

bool moveStartsWhereAsked()
{
    return !x11Connection() && QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void cancelSystemMove(QWidget *window)
{
    xcb_connection_t *c = x11Connection();
    if (!c || !window || !window->windowHandle())
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const uint32_t moveCancel = 11; // _NET_WM_MOVERESIZE_CANCEL
    const uint32_t data[5] = {0, 0, moveCancel, 0, 1};
    sendToRoot(c, id, atom(c, "_NET_WM_MOVERESIZE"), data);
}

bool followPointer(QWidget *window, const QMouseEvent *event)
{
    if (!follow.window || follow.window != window)
        return false;
    if (event->type() == QEvent::MouseButtonRelease || !(event->buttons() & Qt::LeftButton)) {
        follow.window = nullptr;
        RawMotion::listen(false);
        return false;
    }
    follow.seenAt = xcb_timestamp_t(event->timestamp());
    followTo(event->globalPosition());
    return true;
}

bool setOpacity(QWidget *window, int alpha)
{
    if (!window || !window->isWindow() || alpha < 0 || alpha > 255)
        return false;
    window->setWindowOpacity(alpha / 255.0);
    return true;
}

QIcon blankIcon()
{
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    return QIcon(p);
}

void popupAtPointer(QMenu *menu)
{
    menu->exec(QCursor::pos());
}

} // namespace platform
