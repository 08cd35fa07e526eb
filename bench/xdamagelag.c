/* Watches a window from outside and reports how far each change of its shown seconds lags the
 * turn of the system clock's second.
 *
 *     xdamagelag WINDOW SECONDS [X Y W H]
 *
 * The X Damage extension reports every repaint of WINDOW. After each one the area X,Y,W,H (the
 * seconds digits; the whole window by default) is read back; when it differs from the last
 * reading, the shown second has changed, and its lag is the time of the report past the last turn
 * of the second (CLOCK_REALTIME). Repaints elsewhere (a blinking separator) change nothing there.
 *
 * The lag is taken twice: when this tool reads the report, and at the server's own timestamp of the
 * repaint (X server time is CLOCK_MONOTONIC in ms, as Xvfb and Xorg keep it), which leaves out
 * how late this tool itself was scheduled on a loaded machine.
 *
 * Prints one line per change ("change <epoch s> <lag ms> <lag at server stamp ms>") as it happens, so
 * that a watcher can read how long the shown second has stood still, and a summary: "summary changes
 * N repaints R lag_median_ms M lag_max_ms X server_median_ms M server_max_ms X seconds S".
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int cmp_double(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

static long long mono_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

static double median_of(double *v, size_t n)
{
    qsort(v, n, sizeof *v, cmp_double);
    return n ? (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2) : -1;
}

static double now_real(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int gone = 0;
static int on_error(Display *d, XErrorEvent *e)
{
    (void)d;
    if (e->error_code == BadWindow || e->error_code == BadDrawable || e->error_code == BadMatch)
        gone = 1;
    return 0;
}

static unsigned char *grab(Display *d, Window w, int x, int y, int wd, int ht, size_t *len)
{
    XImage *img = XGetImage(d, w, x, y, (unsigned)wd, (unsigned)ht, AllPlanes, ZPixmap);
    if (!img)
        return NULL;
    *len = (size_t)img->bytes_per_line * (size_t)img->height;
    unsigned char *copy = malloc(*len);
    memcpy(copy, img->data, *len);
    XDestroyImage(img);
    return copy;
}

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 7) {
        fprintf(stderr, "usage: xdamagelag WINDOW SECONDS [X Y W H]\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    Window w = (Window)strtoul(argv[1], NULL, 0);
    double seconds = atof(argv[2]);
    Display *d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "xdamagelag: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(on_error);
    int ev_base, err_base;
    if (!XDamageQueryExtension(d, &ev_base, &err_base)) {
        fprintf(stderr, "xdamagelag: no Damage extension\n");
        return 2;
    }
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a)) {
        fprintf(stderr, "xdamagelag: no window 0x%lx\n", (unsigned long)w);
        return 2;
    }
    int x = 0, y = 0, wd = a.width, ht = a.height;
    if (argc == 7) {
        x = atoi(argv[3]);
        y = atoi(argv[4]);
        wd = atoi(argv[5]);
        ht = atoi(argv[6]);
    }
    Damage damage = XDamageCreate(d, w, XDamageReportNonEmpty);
    size_t len = 0, nlen = 0;
    unsigned char *last = grab(d, w, x, y, wd, ht, &len);
    if (!last) {
        fprintf(stderr, "xdamagelag: cannot read the window\n");
        return 2;
    }

    size_t cap = 1024, n = 0;
    double *lags = malloc(cap * sizeof *lags);
    double *slags = malloc(cap * sizeof *slags);
    long repaints = 0;
    double end = now_real() + seconds;
    while (!gone) {
        while (XPending(d)) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type != ev_base + XDamageNotify)
                continue;
            double t = now_real();
            /* How long ago the server stamped the repaint; 32-bit millisecond time wraps. */
            unsigned long ago = ((unsigned long)mono_ms() - ((XDamageNotifyEvent *)&ev)->timestamp) & 0xffffffffUL;
            double ts = ago < 10000 ? t - ago / 1000.0 : t;
            ++repaints;
            /* Take the damage first, so that a repaint during the read is reported again. */
            XDamageSubtract(d, damage, None, None);
            unsigned char *img = grab(d, w, x, y, wd, ht, &nlen);
            if (!img)
                continue;
            if (nlen != len || memcmp(img, last, len) != 0) {
                double lag = (t - (double)(long long)t) * 1000.0;
                /* The stamp may fall just before the turn that the read came after. */
                double slag = ts < (double)(long long)t ? 0.0 : (ts - (double)(long long)t) * 1000.0;
                printf("change %.6f %.3f %.3f\n", t, lag, slag);
                if (n == cap) {
                    cap *= 2;
                    lags = realloc(lags, cap * sizeof *lags);
                    slags = realloc(slags, cap * sizeof *slags);
                }
                slags[n] = slag;
                lags[n++] = lag;
                free(last);
                last = img;
                len = nlen;
            } else {
                free(img);
            }
        }
        double left = end - now_real();
        if (left <= 0)
            break;
        struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, (int)(left * 1000) + 1);
    }
    double med = median_of(lags, n), smed = median_of(slags, n);
    printf("summary changes %zu repaints %ld lag_median_ms %.3f lag_max_ms %.3f server_median_ms %.3f "
           "server_max_ms %.3f seconds %.1f\n",
           n, repaints, med, n ? lags[n - 1] : -1.0, smed, n ? slags[n - 1] : -1.0, seconds);
    return gone ? 1 : 0;
}
