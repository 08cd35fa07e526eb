/* Starts a command and reports how long after the exec its top-level window is mapped.
 *
 *     xmapwait [--class NAME] [--timeout S] -- COMMAND [ARG...]
 *
 * Prints "mapped <µs from exec to map> <window id> <pid>" once the window is mapped, then stays
 * the command's parent until it ends (SIGTERM and SIGINT are passed on), so that the caller can
 * go on measuring the running program. The window is the first one mapped whose _NET_WM_PID is
 * the child's or, for clients that do not set it, whose WM_CLASS class or instance is NAME.
 *
 * A window manager reparents each client into a frame, and the client's MapNotify then goes to the
 * frame, not to the root: so every window created on the root is watched by itself
 * (StructureNotify), and one that is already viewable when the watch begins counts as mapped then.
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static pid_t child = -1;

static void pass_on(int sig)
{
    if (child > 0)
        kill(child, sig);
}

static long long now_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static int ignore_errors(Display *d, XErrorEvent *e)
{
    (void)d;
    (void)e; /* windows may vanish between the event and our look at them */
    return 0;
}

static long window_pid(Display *d, Window w, Atom net_wm_pid)
{
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char *data = NULL;
    long pid = -1;
    if (XGetWindowProperty(d, w, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
            Success &&
        data && n == 1 && format == 32)
        pid = (long)*(unsigned long *)data;
    if (data)
        XFree(data);
    return pid;
}

static int is_ours(Display *d, Window w, Atom net_wm_pid, const char *cls)
{
    if (window_pid(d, w, net_wm_pid) == child)
        return 1;
    if (!cls)
        return 0;
    XClassHint h = {0};
    int match = 0;
    if (XGetClassHint(d, w, &h)) {
        match = (h.res_name && strcmp(h.res_name, cls) == 0) || (h.res_class && strcmp(h.res_class, cls) == 0);
        XFree(h.res_name);
        XFree(h.res_class);
    }
    return match;
}

int main(int argc, char **argv)
{
    const char *cls = NULL;
    double timeout = 30.0;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "--class") == 0 && i + 1 < argc)
            cls = argv[++i];
        else if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeout = atof(argv[++i]);
        else if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else
            break;
    }
    if (i >= argc) {
        fprintf(stderr, "usage: xmapwait [--class NAME] [--timeout S] -- COMMAND [ARG...]\n");
        return 2;
    }

    Display *d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xmapwait: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    Window root = DefaultRootWindow(d);
    Atom net_wm_pid = XInternAtom(d, "_NET_WM_PID", False);
    /* The watch is in place before the command runs, so no window of it can be missed. */
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);

    signal(SIGTERM, pass_on);
    signal(SIGINT, pass_on);
    long long t0 = now_us();
    child = fork();
    if (child == 0) {
        close(ConnectionNumber(d));
        execvp(argv[i], argv + i);
        perror("xmapwait: exec");
        _exit(127);
    }
    if (child < 0) {
        perror("xmapwait: fork");
        return 2;
    }

    long long deadline = t0 + (long long)(timeout * 1e6);
    Window found = 0;
    long long mapped_at = 0;
    while (!found) {
        while (!found && XPending(d)) {
            XEvent ev;
            XNextEvent(d, &ev);
            long long t = now_us();
            Window w = 0;
            if (ev.type == CreateNotify && ev.xcreatewindow.parent == root && !ev.xcreatewindow.override_redirect) {
                w = ev.xcreatewindow.window;
                XSelectInput(d, w, StructureNotifyMask);
                XWindowAttributes a;
                /* Mapped before the watch began: it counts from now. */
                if (!(XGetWindowAttributes(d, w, &a) && a.map_state != IsUnmapped))
                    continue;
            } else if (ev.type == MapNotify) {
                w = ev.xmap.window;
            } else {
                continue;
            }
            if (is_ours(d, w, net_wm_pid, cls)) {
                found = w;
                mapped_at = t;
            }
        }
        if (found)
            break;
        int status;
        if (waitpid(child, &status, WNOHANG) == child) {
            fprintf(stderr, "xmapwait: the command ended before mapping a window\n");
            return 1;
        }
        long long left = deadline - now_us();
        if (left <= 0) {
            fprintf(stderr, "xmapwait: no window mapped within %.1f s\n", timeout);
            kill(child, SIGTERM);
            waitpid(child, NULL, 0);
            return 1;
        }
        struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, left / 1000 > 50 ? 50 : (int)(left / 1000) + 1);
    }
    printf("mapped %lld 0x%lx %d\n", mapped_at - t0, (unsigned long)found, (int)child);
    fflush(stdout);
    /* From here on the program runs without us on its server. */
    XCloseDisplay(d);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
