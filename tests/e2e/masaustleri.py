#!/usr/bin/env python3
"""The clock's window promises, checked the same way under each desktop users run: every desktop
is started here from its Debian package on an X server of its own (Xvfb), the Wayland ones nested
on it through their X11 backend with XWayland for the program, and driven with xdotool.

    masaustleri.py PATH/TO/velmora [--md FILE] [--out DIR] DESKTOP...

DESKTOP is one of: openbox xfwm4 kwin_x11 mutter i3 sway mutter-wayland.
Prints PASS or FAIL per desktop and check; --md writes the table desktop x check. The exit code is
non-zero when any check failed.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache folder in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from masaustu import OKU_LATE_MS, Desktop, Suite  # noqa: E402
from saatkontrol import (CLOCK_H, CLOCK_W, KEYS, ON_PICTURE, ClockChecks, Fatal, StepFailed,  # noqa: E402
                         greenish, is_black, near, poll, set_deadline, stays)

WIDTH, HEIGHT = 1280, 800
DRAGS = 5  # each way; a fault that shows in most drags shows in these
NOBODY = 65534  # sway will not run as root

# A short name per column of the table, and what it checks.
CHECKS = [
    ("size", "133x34"),
    ("corner", "at the output's corner (W-133, H-67)"),
    ("state", "ABOVE and SKIP_TASKBAR (or unmanaged)"),
    ("popup", "a press on the picture opens the popup at the pointer"),
    ("over tiled", "above a raised (tiled) xterm"),
    ("over floating", "above a floating, focused xterm"),
    ("dialog", '"Zamanlayıcı" opens active and closes'),
    ("stopwatch", '"Kronometre" opens active and closes'),
    ("re-park", "the stopwatch's close brings a dragged clock back to the corner"),
    # Where the desktop's own configuration binds a key to the desktop entry's action.
    ("oku key", "a key bound to velmora --oku speaks the time; the focus stays on the xterm"),
    ("locker", "under i3lock (as xss-lock starts it) the clock stays hidden and idle"),
    # Last: a drag that goes wrong may leave the clock where the popup cannot be reached.
    ("drag left", f"{DRAGS} drags up and left follow the pointer exactly"),
    ("drag right", f"{DRAGS} drags down and right follow the pointer exactly"),
    # After everything else: the desktop is another one from here on.
    ("wm replaced", "openbox replaced by i3 while the clock runs: unmanaged, 133x34 at the corner"),
    ("wlroots wm", "i3 replaced by one named as sway 1.12's, which announces ABOVE: unmanaged at the corner"),
]

# Sets what a window manager announces on the root window, the root as its check window, as sway
# 1.12's XWayland window manager has it; no window manager runs. argv: NAME ATOM...
FAKE_WM = r"""
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_int,
                              ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
d = x.XOpenDisplay(None)
root = x.XDefaultRootWindow(d)
atom = lambda n: x.XInternAtom(d, n.encode(), 0)
name = sys.argv[1].encode()
x.XChangeProperty(d, root, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, 0, name, len(name))
supported = (ctypes.c_ulong * (len(sys.argv) - 2))(*[atom(a) for a in sys.argv[2:]])
x.XChangeProperty(d, root, atom("_NET_SUPPORTED"), 4, 32, 0, supported, len(supported))  # 4: ATOM
check = (ctypes.c_ulong * 1)(root)
x.XChangeProperty(d, root, atom("_NET_SUPPORTING_WM_CHECK"), 33, 32, 0, check, 1)  # 33: WINDOW
x.XCloseDisplay(d)
"""


class Session(Desktop):
    """One desktop on its own X server. The program, xprop and xwininfo use env (for a nested
    compositor: its XWayland); xdotool and screenshots the outer server."""

    kind = ""
    # How far the X server's pointer may be from the one xdotool moved (1 px where a nested
    # compositor keeps it in fractions).
    pointer_slack = 0

    def __init__(self, tmp):
        Desktop.__init__(self, WIDTH, HEIGHT, tmp)
        self.version = ""

    def spawn(self, argv, name, env=None, **extra):
        # A group of its own: what a desktop's session bus starts (at-spi, xfconfd) outlives the
        # bus, and is ended with the group.
        return Desktop.spawn(self, argv, name, env=env, start_new_session=True, **extra)

    def stop(self):
        Desktop.stop(self)
        for p in self.procs:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass

    def session_env(self):
        return {}

    def float_at(self, wid, x, y):
        """Makes a window float at (x, y); a stacking window manager floats every window already."""
        self.xdotool("windowmove", "--sync", wid, x, y, on_windows=True)

    def package_version(self, package):
        r = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", package], capture_output=True, text=True)
        return r.stdout.strip()


class X11(Session):
    def __init__(self, tmp, name, argv, package, env=None):
        Session.__init__(self, tmp)
        self.kind, self.argv, self.package, self.wm_env = name, argv, package, env or {}

    def start(self):
        Desktop.start(self, self.argv, self.kind, self.wm_env)
        self.version = self.package_version(self.package)


class I3Commands:
    """Window commands in i3's command language, which sway speaks too; ipc() sends one."""

    oku_key = "super+o"
    oku_command = None  # the program's --oku, as a user binds it; set before the start

    def oku_binding(self):
        return f"bindsym Mod4+o exec {self.oku_command}\n" if self.oku_command else ""

    def close(self, wid):
        self.ipc(f"[id={wid}] kill")

    def float_at(self, wid, x, y):
        self.ipc(f"[id={wid}] floating enable, move absolute position {x} {y}")


class I3(I3Commands, X11):
    """i3 with Debian's default configuration, bar included, less the first-start wizard (a user who
    runs i3 has a configuration; the wizard holds the keyboard until answered)."""

    def __init__(self, tmp):
        X11.__init__(self, tmp, "i3", I3.argv_in(tmp), "i3-wm")

    @staticmethod
    def argv_in(tmp, extra=""):
        config = os.path.join(tmp, "i3-config")
        with open("/etc/i3/config") as f:
            lines = [l for l in f if "i3-config-wizard" not in l]
        with open(config, "w") as f:
            f.writelines(lines + [extra])
        return ["i3", "-c", config]

    def start(self):
        # The key is bound once the suite knows the program: the configuration is written anew.
        I3.argv_in(self.tmp, self.oku_binding())
        X11.start(self)

    def ipc(self, command):
        out = self.run("i3-msg", command)
        if '"success":false' in out.replace(" ", ""):
            raise StepFailed(f"i3-msg {command}: {out.strip()}")


class Sway(I3Commands, Session):
    """sway nested on the Xvfb through its X11 backend, as an unprivileged user; XWayland lets root's
    X clients in."""

    kind = "sway"
    # sway 1.10 hands XWayland the pointer in 1/256 px with rounding errors (steps of 9.9961 and
    # 10.0039 px for xdotool's 10): where xdotool put it at 251, X clients can be told 250.
    pointer_slack = 1

    def start(self):
        self.start_x()
        outer = dict(self.env)
        home = tempfile.mkdtemp(prefix="velmora-sway-")  # readable by the sway user, unlike self.tmp
        self.sway_home = home
        os.chown(home, NOBODY, NOBODY)
        run = os.path.join(home, "run")
        os.makedirs(run, mode=0o700)
        os.chown(run, NOBODY, NOBODY)
        if self.oku_command:
            # The sway user may not reach a program under root's home folder (a clone in /root): it is
            # given a copy of its own, which only sends the running clock its request.
            program, args = self.oku_command.split(" ", 1)
            copy = os.path.join(home, "velmora")
            shutil.copy(program, copy)
            os.chmod(copy, 0o755)
            self.oku_command = f"{copy} {args}"
        config = os.path.join(home, "config")
        with open(config, "w") as f:
            f.write("include /etc/sway/config\n"
                    f"output * mode {WIDTH}x{HEIGHT} position 0 0\n"
                    "xwayland force\n" + self.oku_binding() +
                    f"exec sh -c 'xhost +si:localuser:root >/dev/null; echo \"$DISPLAY\" > {home}/display'\n")
        os.chmod(config, 0o644)
        env = {k: v for k, v in self.env.items() if not k.startswith("XDG_")}
        env.update(HOME=home, XDG_RUNTIME_DIR=run, WLR_BACKENDS="x11", WLR_RENDERER="pixman",
                   WLR_LIBINPUT_NO_DEVICES="1")
        self.spawn(["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", "sway", "-c", config],
                   "sway", env=env)
        display_file = os.path.join(home, "display")
        display = poll("sway's XWayland", lambda: os.path.exists(display_file) and open(display_file).read().strip(),
                       timeout=20)
        sockets = [s for s in os.listdir(run) if s.startswith("sway-ipc.")]
        self.swaysock = os.path.join(run, sockets[0]) if sockets else None
        self.wayland = os.path.join(run, "wayland-1")
        self.input_env = self.screen_env = outer
        self.env = dict(self.env, DISPLAY=display)
        poll("sway to manage XWayland", self.wm_running, timeout=15)
        self.version = self.package_version("sway")

    def stop(self):
        Session.stop(self)
        # sway starts swaybar, swaybg and XWayland in sessions of their own, out of reach of its
        # group; all of them carry the home this run gave sway.
        home = getattr(self, "sway_home", "")
        if home:
            mark = f"HOME={home}".encode() + b"\0"
            for pid in filter(str.isdigit, os.listdir("/proc")):
                try:
                    with open(f"/proc/{pid}/environ", "rb") as f:
                        if mark in f.read():
                            os.kill(int(pid), signal.SIGKILL)
                except OSError:
                    pass
            shutil.rmtree(home, ignore_errors=True)

    def session_env(self):
        return {"WAYLAND_DISPLAY": "wayland-1", "XDG_SESSION_TYPE": "wayland"}

    def ipc(self, command):
        out = subprocess.run(["swaymsg", "-s", self.swaysock, command], capture_output=True, text=True,
                             timeout=10).stdout
        if '"success": false' in out or '"success":false' in out:
            raise StepFailed(f"swaymsg {command}: {out.strip()}")


class MutterWayland(Session):
    """mutter as a Wayland compositor nested on the Xvfb (its X11 backend), with XWayland."""

    kind = "mutter-wayland"

    def start(self):
        self.start_x()
        outer = dict(self.env)
        env = dict(self.env, MUTTER_DEBUG_DUMMY_MODE_SPECS=f"{WIDTH}x{HEIGHT}")
        self.spawn(["dbus-run-session", "--", "mutter", "--wayland", "--nested", "--wayland-display=velmora-wl",
                    "--sm-disable"], "mutter", env=env)
        log = os.path.join(self.tmp, "mutter.log")
        run = self.env["XDG_RUNTIME_DIR"]

        def ready():
            m = re.search(r"Using public X11 display (:\d+)", open(log, errors="replace").read())
            auth = [a for a in os.listdir(run) if a.startswith(".mutter-Xwaylandauth")]
            return m and auth and (m.group(1), os.path.join(run, auth[0]))
        display, auth = poll("mutter's XWayland", ready, timeout=20)
        self.input_env = self.screen_env = outer
        self.env = dict(self.env, DISPLAY=display, XAUTHORITY=auth)
        poll("mutter to manage XWayland", self.wm_running, timeout=20)
        self.version = self.package_version("mutter")

    def session_env(self):
        return {"WAYLAND_DISPLAY": "velmora-wl", "XDG_SESSION_TYPE": "wayland"}


def desktops():
    """Name -> maker of the session, in the table's order."""
    dbus = ["dbus-run-session", "--"]
    return {
        "openbox": lambda t: X11(t, "openbox", ["openbox", "--sm-disable"], "openbox"),
        "xfwm4": lambda t: X11(t, "xfwm4", dbus + ["xfwm4", "--compositor=off", "--sm-client-disable"], "xfwm4"),
        "kwin_x11": lambda t: X11(t, "kwin_x11", dbus + ["kwin_x11", "--replace"], "kwin-x11",
                                  {"KWIN_COMPOSE": "N"}),
        "mutter": lambda t: X11(t, "mutter", dbus + ["mutter", "--x11", "--replace", "--sm-disable"], "mutter"),
        "i3": I3,
        "sway": Sway,
        "mutter-wayland": MutterWayland,
    }


class Run(ClockChecks):
    """The checks on one desktop."""

    def __init__(self, program, session, out):
        self.program, self.d, self.out = program, session, out
        self.tmp, self.step_no = session.tmp, 0
        self.width, self.height = WIDTH, HEIGHT
        self.proc = self.clock = None
        self.evidence = []
        self.results = {}  # check -> (passed, detail)

    def not_run(self, name):
        """A check left out where it does not apply counts neither way; any other is a failure."""
        if name == "oku key" and not isinstance(self.d, I3Commands):
            return None
        return (False, "not run")

    def check(self, name, fn):
        self.step_no = len(self.results)
        self.evidence = []
        try:
            detail = fn()
            self.results[name] = (True, detail or "")
        except Exception as e:  # any fault of a check is that check's failure; the run goes on
            reason = str(e) if isinstance(e, (StepFailed, Fatal)) else f"{type(e).__name__}: {e}"
            self.results[name] = (False, reason)
            self.keep_picture(name)
            if isinstance(e, Fatal):
                raise
        passed, detail = self.results[name]
        print(f"{'PASS' if passed else 'FAIL'} {self.d.kind}: {name}" + (f": {detail}" if detail else ""), flush=True)

    def keep_picture(self, name):
        try:
            os.makedirs(self.out, exist_ok=True)
            base = os.path.join(self.out, f"{self.d.kind}-{name.replace(' ', '-')}")
            self.d.screenshot().save_png(base + ".png")
            for i, img in enumerate(self.evidence):
                img.save_png(f"{base}-looked-at-{i}.png")
        except Exception:  # the failure itself is what counts
            pass

    # --- helpers

    def spawn_xterm(self, title, geometry):
        before = set(self.d.clients())
        p = self.d.spawn(["xterm", "-T", title, "-bg", "white", "-geometry", geometry], "xterm-" + title)
        wid = poll(f"the xterm {title}", lambda: [w for w in self.d.clients() if w not in before
                                                  and self.d.name(w) == title], timeout=10)[0]
        return p, wid

    def activate(self, wid):
        """Made active by the click; where the click did not (mutter keeps a new window of another
        program from the focus a while), by the window manager's activation request."""
        try:
            poll("the xterm to become active", lambda: self.d.active() == wid, timeout=2)
        except StepFailed:
            self.d.xdotool("windowactivate", "--sync", wid, on_windows=True)
            poll("the xterm to become active", lambda: self.d.active() == wid, timeout=3)

    def end(self, p, wid):
        # Gone from the client list too: the next xterm may be given the same window id.
        p.terminate()
        p.wait(timeout=5)
        poll("the xterm's window to go", lambda: wid not in self.d.clients(), timeout=5)

    def clock_shown(self):
        """The clock's face is on top: black mostly, with green digits (the colours of a first run)."""
        img = self.clock_image()
        face = img.crop(0, 0, 120, CLOCK_H)
        black = face.count(is_black)
        green = face.count(greenish)
        total = face.width * face.height
        return (black >= total * 0.6 and green >= 60), f"{black} black and {green} green of {total} pixels"

    def expect_clock_shown(self, what):
        last = [""]

        def shown():
            ok, last[0] = self.clock_shown()
            return ok
        try:
            poll(what, shown, timeout=2, interval=0.2)
        except StepFailed:
            self.fail(f"covered: {last[0]}")

    def drags(self, dx, dy):
        """DRAGS drags by (dx, dy) each; every one must end exactly where the pointer took it."""
        misses, near = [], []
        for _ in range(DRAGS):
            start, _ = self.drag([1], dx, dy)
            target = (start[0] + dx, start[1] + dy)
            try:
                poll("the clock following the pointer", lambda: self.clock_pos() == target, timeout=1.5)
            except StepFailed:
                got = self.clock_pos()
                moved = f"({got[0] - start[0]:+d},{got[1] - start[1]:+d})"
                slack = self.d.pointer_slack
                (near if abs(got[0] - target[0]) <= slack and abs(got[1] - target[1]) <= slack else misses).append(moved)
            finally:
                self.release([1])
            time.sleep(0.1)
        exact = f"{DRAGS - len(misses) - len(near)}/{DRAGS} exact"
        if near:
            exact += f", {len(near)} within {self.d.pointer_slack} px: {', '.join(near)}"
        self.expect(not misses, f"{exact}; moved {', '.join(misses)} for ({dx:+d},{dy:+d})")
        return exact

    # --- the checks

    def c_size(self):
        g = poll("the clock to settle", lambda: self.d.geometry(self.clock), timeout=2)
        self.expect(g[2:] == (CLOCK_W, CLOCK_H), f"{g[2]}x{g[3]}")
        return f"{g[2]}x{g[3]}"

    def c_corner(self):
        try:
            self.wait_clock_at(self.corner, "the clock at the corner")
        except StepFailed:
            self.fail(f"at {self.clock_pos()}")
        return f"at {self.corner}"

    def c_state(self):
        info = self.d.info(self.clock)
        if info["override"]:
            return "unmanaged (override-redirect)"
        states = self.d.states(self.clock)
        missing = {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"} - states
        self.expect(not missing, f"lacks {', '.join(s[len('_NET_WM_STATE_'):] for s in sorted(missing))}")

    def c_popup(self):
        px, py = self.at_clock(ON_PICTURE)
        # The pointer comes to the picture before the press, as a hand brings it (a nested compositor
        # learns where the pointer is from its motion).
        self.d.xdotool("mousemove", px - 40, py - 30, "sleep", "0.1", "mousemove", px, py, "sleep", "0.3")
        popup = self.open_popup()
        g = self.d.geometry(popup)
        # Opened at the pointer: a corner there, or (kept on the screen) an edge through it.
        off = max(min(abs(g[1] - py), abs(g[1] + g[3] - py)), max(g[0] - px, px - (g[0] + g[2]), 0))
        self.d.keys("Escape")
        try:
            poll("the popup to close on Escape", lambda: not self.d.popups(), timeout=3)
        except StepFailed:
            self.d.xdotool("mousemove", 20, 20, "click", 1)  # dismissed by a click elsewhere
            poll("the popup to close", lambda: not self.d.popups(), timeout=3)
            self.fail("Escape did not close the popup")
        self.expect(off <= 2, f"popup {g} is {off} px from the pointer ({px},{py})")
        return f"{off} px from the pointer"

    def c_over_tiled(self):
        p, wid = self.spawn_xterm("ustte", "214x62+0+0")
        try:
            # A click raises it and makes it active where a new window is not given the focus (mutter).
            poll("the xterm to be shown", lambda: (self.d.info(wid) or {}).get("map") == "IsViewable", timeout=5)
            self.d.xdotool("mousemove", 200, 200, "click", 1)
            self.activate(wid)
            self.expect_clock_shown("the clock above the xterm")
        finally:
            self.end(p, wid)

    def c_over_floating(self):
        # About 250x140 px, over the left part of the clock wherever it is: (1000, 650) at the corner.
        cx, cy = self.clock_pos()
        x, y = cx - 147, cy - 83
        p, wid = self.spawn_xterm("yuzen", f"40x10+{x}+{y}")
        try:
            self.d.float_at(wid, x, y)

            def over_clock():
                g = self.d.geometry(wid)
                return g and g[0] < cx + 60 and g[1] < cy + 20 and g[0] + g[2] > cx + 60 and g
            g = poll("the xterm over the clock", over_clock, timeout=3)
            self.d.xdotool("mousemove", g[0] + 20, g[1] + 20, "click", 1)
            self.activate(wid)
            self.expect_clock_shown("the clock above the floating xterm")
        finally:
            self.end(p, wid)

    def c_drag_left(self):
        return self.drags(-150, -100)

    def c_drag_right(self):
        return self.drags(150, 100)

    def c_dialog(self):
        wid = self.open_window("Zamanlayıcı")
        self.close_window(wid, "Zamanlayıcı")

    def c_stopwatch(self):
        # Away from the corner in small steps: this check is about the re-park, the drag columns
        # about the drag.
        start, _ = self.drag([1], -250, -150, steps=50)
        self.release([1])
        self.dragged = poll("the clock to come to rest", lambda: self.clock_pos(), timeout=1)
        time.sleep(0.3)
        self.dragged = self.clock_pos()
        wid = self.open_window("Kronometre")
        self.expect(self.clock_pos() == self.dragged, "opening the stopwatch moved the clock")
        self.close_window(wid, "Kronometre")

    def c_repark(self):
        self.expect(self.dragged != self.corner, "the drag before the stopwatch left the clock at the corner")
        self.wait_clock_at(self.corner, "the clock back at the corner")

    def c_oku_key(self):
        # The key as the user's desktop binds it, pressed while another program has the focus; the
        # desktop runs the command as its own user (sway's here is not the clock's).
        p, wid = self.spawn_xterm("odak", "80x20+40+40")
        try:
            self.d.xdotool("mousemove", 200, 150, "click", 1)
            self.activate(wid)
            ses = os.path.join(os.path.dirname(self.program), "Ses")

            def press():
                pressed = time.time()
                self.d.keys(self.d.oku_key)
                return pressed
            faults, problems = Suite.announce_and_hear(self, ses, "oku-key", ask=press, device_opens=True,
                                                       opening_late_ms=OKU_LATE_MS + 200)
            self.expect(not faults and not problems, "; ".join(faults + problems))
            self.expect(self.d.active() == wid, f"the focus went from the xterm to {self.d.active()}")
        finally:
            self.end(p, wid)
        return "heard, focus kept"

    def c_locker(self):
        if self.d.kind in ("sway", "mutter-wayland"):
            return "an X locker does not lock a Wayland session"

        def cpu_s():
            with open(f"/proc/{self.proc.pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

        def locked():
            img = self.clock_image()
            return img.count(near((0, 0, 255))) >= img.width * img.height * 0.95

        lock = self.d.spawn(["i3lock", "-n", "-c", "0000ff"], "i3lock", env=dict(self.d.env, **self.d.session_env()))
        try:
            poll("i3lock over the clock", locked, timeout=5)
            before = cpu_s()
            stays("the clock hidden under i3lock", locked, duration=2.0, interval=0.2)
            used = cpu_s() - before
            # An unmanaged clock and the locker that raised themselves over each other took a core each.
            self.expect(used < 0.2, f"{used * 1000:.0f} ms of CPU in 2 s under i3lock")
        finally:
            lock.terminate()
            lock.wait(timeout=5)
        self.expect_clock_shown("the clock back once i3lock ended")
        return f"{used * 1000:.0f} ms of CPU in 2 s under it"

    def c_wm_replaced(self):
        if self.d.kind != "openbox":
            return "openbox only"
        self.d.openbox.terminate()
        self.d.openbox.wait(timeout=5)
        self.i3 = self.d.spawn(I3.argv_in(self.d.tmp), "i3")

        def unmanaged_at_corner():
            info = self.d.info(self.clock) or {}
            return info.get("override") and self.d.geometry(self.clock) == (*self.corner, CLOCK_W, CLOCK_H)
        try:
            poll("the clock unmanaged at the corner under i3", unmanaged_at_corner, timeout=10)
        except StepFailed:
            self.fail(f"override-redirect {(self.d.info(self.clock) or {}).get('override')}, "
                      f"at {self.d.geometry(self.clock)}")
        self.expect_clock_shown("the clock shown under i3")
        return "unmanaged at the corner"

    def c_wlroots_wm(self):
        if self.d.kind != "openbox":
            return "openbox only"
        self.i3.terminate()
        self.i3.wait(timeout=5)
        override = lambda: (self.d.info(self.clock) or {}).get("override")
        poll("the clock managed with no window manager", lambda: override() is False, timeout=10)
        subprocess.run([sys.executable, "-c", FAKE_WM, "wlroots wm", "_NET_WM_STATE", "_NET_WM_STATE_ABOVE",
                        "_NET_WM_STATE_FULLSCREEN"], env=self.d.env, check=True, timeout=10)
        try:
            poll("the clock unmanaged at the corner", lambda: override() and self.d.geometry(self.clock) ==
                 (*self.corner, CLOCK_W, CLOCK_H), timeout=10)
        except StepFailed:
            self.fail(f"override-redirect {override()}, at {self.d.geometry(self.clock)}")
        return "unmanaged at the corner"

    def run(self):
        self.dragged = None
        keyed = isinstance(self.d, I3Commands)
        try:
            if keyed:
                self.d.oku_command = f"{self.program} --oku"
                self.d.start_sound()
            self.d.start()
        except Exception as e:
            for name, _ in CHECKS:
                self.results[name] = (False, f"desktop did not start: {e}")
            print(f"FAIL {self.d.kind}: did not start: {e}", flush=True)
            self.d.stop()
            return
        try:
            env = dict(self.d.env, **self.d.session_env())
            self.proc = self.d.spawn([self.program], "velmora", env=env)
            self.clock = poll("the clock window (Form1) to be mapped", self.find_clock, timeout=20)
            for name, _ in CHECKS:
                if name == "oku key" and not keyed:
                    continue
                self.check(name, getattr(self, "c_" + name.replace(" ", "_").replace("-", "")))
        except (Fatal, StepFailed) as e:
            print(f"FAIL {self.d.kind}: {e}", flush=True)
            for name, _ in CHECKS:
                self.results.setdefault(name, (False, str(e)))
        finally:
            self.d.stop()


def cell(result):
    if result is None:
        return "-"
    return "pass" if result[0] else "**FAIL**"


def markdown(runs):
    lines = ["| desktop | " + " | ".join(n for n, _ in CHECKS) + " |",
             "|---|" + "---|" * len(CHECKS)]
    for r in runs:
        lines.append(f"| {r.d.kind} {r.d.version} | " + " | ".join(cell(r.results.get(n, r.not_run(n)))
                                                              for n, _ in CHECKS) + " |")
    notes = []
    for r in runs:
        for n, _ in CHECKS:
            result = r.results.get(n, r.not_run(n))
            if result is not None and not result[0]:
                passed, detail = result
                notes.append(f"- {r.d.kind}, {n}: {detail}")
    return "\n".join(lines), notes


def main(argv):
    args = argv[1:]
    opts = {}
    for opt in ("--md", "--out"):
        if opt in args:
            i = args.index(opt)
            opts[opt] = args[i + 1]
            del args[i:i + 2]
    known = desktops()
    if len(args) < 2 or any(a not in known for a in args[1:]):
        print(__doc__, file=sys.stderr)
        return 2
    program = os.path.abspath(args[0])
    out = os.path.abspath(opts.get("--out", "desktops-out"))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)  # the table may be written in it
    runs = []
    for name in args[1:]:
        set_deadline(90)  # inside CTest's 120 s for one desktop, so the cleanup runs
        tmp = tempfile.mkdtemp(prefix=f"velmora-{name}-")
        os.chmod(tmp, 0o700)
        run = Run(program, known[name](tmp), out)
        started = time.monotonic()
        run.run()
        print(f"     {name}: {time.monotonic() - started:.0f} s", flush=True)
        if all(p for p, _ in run.results.values()):
            shutil.rmtree(tmp, ignore_errors=True)
        else:
            print(f"     logs kept in {tmp}", flush=True)
        runs.append(run)
    table, notes = markdown(runs)
    print(table)
    print("\n".join(notes))
    if "--md" in opts:
        with open(opts["--md"], "w", encoding="utf-8") as f:
            f.write(table + "\n")
            if notes:
                f.write("\n" + "\n".join(notes) + "\n")
    failed = sum(1 for r in runs for p, _ in r.results.values() if not p)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
