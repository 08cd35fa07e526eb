#include "platform/singleinstance.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace platform {

namespace {

// The selection is the display's, not the user's: whoever may talk to the display may ask its clock,
// and a key bound in a desktop that runs as another user still reaches it.
constexpr char kSelection[] = "_VELMORA_SAAT";
constexpr char kRequestType[] = "_VELMORA_ISTEK";

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}

xcb_window_t selectionOwner(xcb_connection_t *c, xcb_atom_t selection)
{
    xcb_get_selection_owner_reply_t *r =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t owner = r ? r->owner : xcb_window_t(XCB_NONE);
    std::free(r);
    return owner;
}

bool socketAddress(const QByteArray &path, sockaddr_un &addr)
{
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    return true;
}

} // namespace

struct SingleInstance::Owner
{
    // X: our connection, the unmapped window that owns the selection, the type of request messages.
    xcb_connection_t *x = nullptr;
    xcb_atom_t requestType = XCB_ATOM_NONE;
    // Without X: the lock held for the clock's life and the socket bound beside it.
    int lockFd = -1;
    int socketFd = -1;
    QByteArray socketPath;
    QSocketNotifier *notifier = nullptr;

    ~Owner()
    {
        delete notifier;
        if (x)
            xcb_disconnect(x);
        if (socketFd >= 0) {
            // Still under the lock, so a later clock's socket is never the one removed.
            ::unlink(socketPath.constData());
            ::close(socketFd);
        }
        if (lockFd >= 0)
            ::close(lockFd);
    }

    int fd() const { return x ? xcb_get_file_descriptor(x) : socketFd; }

    std::vector<quint32> read()
    {
        std::vector<quint32> codes;
        if (x) {
            while (xcb_generic_event_t *e = xcb_poll_for_event(x)) {
                if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    const auto *m = reinterpret_cast<xcb_client_message_event_t *>(e);
                    if (m->type == requestType && m->format == 32)
                        codes.push_back(m->data.data32[0]);
                }
                std::free(e);
            }
            if (xcb_connection_has_error(x))
                notifier->setEnabled(false);
        } else {
            unsigned char code = 0;
            while (::recv(socketFd, &code, 1, MSG_DONTWAIT) == 1)
                codes.push_back(code);
        }
        return codes;
    }
};

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QByteArray SingleInstance::selectionName()
{
    return QByteArray(kSelection);
}

QString SingleInstance::socketName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // No runtime folder of the user's own: a shared one could be another user's, so none is made up.
    if (runtime.isEmpty())
        return {};
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        // ":1.0" and ":1" are the same display.
        display = qEnvironmentVariable("DISPLAY");
        const int dot = display.lastIndexOf(QLatin1Char('.'));
        if (dot > display.lastIndexOf(QLatin1Char(':')) && dot + 1 < display.size()
            && std::all_of(display.cbegin() + dot + 1, display.cend(), [](QChar c) { return c.isDigit(); }))
            display.truncate(dot);
    }
    if (display.isEmpty())
        display = QStringLiteral("wayland-0");
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return runtime + QStringLiteral("/velmora-") + display;
}

bool SingleInstance::claim(Request request, const QByteArray &xDisplay)
{
    const quint32 code = quint32(request);
    xcb_connection_t *c = xcb_connect(xDisplay.isEmpty() ? nullptr : xDisplay.constData(), nullptr);
    if (!xcb_connection_has_error(c)) {
        const xcb_atom_t selection = internAtom(c, kSelection);
        const xcb_atom_t requestType = internAtom(c, kRequestType);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t overrideRedirect = 1;
        xcb_create_window(c, 0, window, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
        // Tried again when the owner ends between being found and being sent to, and when the server
        // ignores the take: just after an owner's end its time stamp may still be ahead of ours.
        for (int attempt = 0; attempt < 100; ++attempt) {
            // The grab makes look-and-take one step: of two starts at the same moment one is the clock.
            xcb_grab_server(c);
            xcb_window_t owner = selectionOwner(c, selection);
            if (owner == XCB_NONE) {
                xcb_set_selection_owner(c, window, selection, XCB_CURRENT_TIME);
                owner = selectionOwner(c, selection);
            }
            xcb_ungrab_server(c);
            xcb_flush(c);
            if (owner == window) {
                m_owner = std::make_unique<Owner>();
                m_owner->x = c;
                m_owner->requestType = requestType;
                return true;
            }
            if (owner != XCB_NONE) {
                xcb_client_message_event_t message{};
                message.response_type = XCB_CLIENT_MESSAGE;
                message.format = 32;
                message.window = owner;
                message.type = requestType;
                message.data.data32[0] = code;
                xcb_generic_error_t *error = xcb_request_check(
                    c, xcb_send_event_checked(c, 0, owner, XCB_EVENT_MASK_NO_EVENT,
                                              reinterpret_cast<const char *>(&message)));
                if (!error) {
                    xcb_disconnect(c);
                    return false;
                }
                std::free(error);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // An owner that keeps vanishing: run rather than end with nobody answering.
        xcb_disconnect(c);
        return true;
    }
    xcb_disconnect(c);

    // No X display: a lock held for the clock's life, freed by the kernel however the clock ends.
    const QByteArray path = QFile::encodeName(socketName());
    sockaddr_un addr;
    if (!socketAddress(path, addr))
        return true; // nowhere to meet: this clock cannot be found, but it runs
    const int lock = ::open((path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0)
        return true;
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
        m_owner = std::make_unique<Owner>();
        m_owner->lockFd = lock;
        m_owner->socketPath = path;
        // A socket left by a clock that crashed is ours to replace.
        ::unlink(path.constData());
        const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0)
            m_owner->socketFd = s;
        else if (s >= 0)
            ::close(s);
        return true;
    }
    ::close(lock);
    // The clock holding the lock may still be binding its socket: a start at the same moment.
    const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const unsigned char byte = static_cast<unsigned char>(code);
    for (int i = 0; s >= 0 && i < 200; ++i) {
        if (::sendto(s, &byte, 1, 0, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 1)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (s >= 0)
        ::close(s);
    return false;
}

void SingleInstance::listen()
{
    if (!m_owner || m_owner->notifier || m_owner->fd() < 0)
        return;
    m_owner->notifier = new QSocketNotifier(m_owner->fd(), QSocketNotifier::Read);
    connect(m_owner->notifier, &QSocketNotifier::activated, this, [this] {
        for (quint32 code : m_owner->read())
            deliver(code);
    });
    // A request that came before the notifier may already sit in xcb's queue, not on the socket.
    for (quint32 code : m_owner->read())
        deliver(code);
}

void SingleInstance::deliver(quint32 code)
{
    if (code == quint32(Request::Speak))
        Q_EMIT speakRequested();
    else
        Q_EMIT activationRequested();
}

} // namespace platform
