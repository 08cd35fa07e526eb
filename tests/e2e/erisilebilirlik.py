#!/usr/bin/python3
"""What a screen reader finds: the real velmora on Xvfb and openbox, with a session bus and the
AT-SPI bus and registry of its own, read through pyatspi.

    erisilebilirlik.py PATH/TO/velmora

Every step prints its name and PASS or FAIL; the exit code is non-zero when any step failed.
"""

import datetime
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from masaustu import Desktop  # noqa: E402
from saatkontrol import Fatal, StepFailed, finish_run, poll, set_deadline  # noqa: E402

POPUP = ["Saati Oku...", "", "Ayarlar", "Kronometre", "Zamanlayıcı", "", "Yardım", "Hakkında", "Çıkış"]
AYARLAR = ["Şeffaflık Ayarı", "Renk Ayarı"]

# Each window: the item that opens it, its role and name, and (role, name) of controls it must hold.
WINDOWS = [
    ("Şeffaflık Ayarı", "dialog", "Şeffaflık Ayarı", [("slider", "Şeffaflık"), ("push button", "Tamam")]),
    ("Renk Ayarı", "dialog", "Renk Ayarı",
     [("push button", "Yazı rengi"), ("push button", "Arka plan rengi"), ("push button", "Tamam")]),
    ("Zamanlayıcı", "dialog", "Zamanlayıcı",
     [("text", "Başlık"), ("text", "Metin"), ("text", "Saat"), ("text", "Dakika"), ("push button", "Tamam")]),
    ("Kronometre", "frame", "Kronometre",
     [("label", "Saat"), ("label", "Dakika"), ("label", "Saniye"), ("push button", "Başla")]),
    ("Yardım", "frame", "Yardım", []),
    ("Hakkında", "frame", "Orlenbay Velmora", [("push button", None)]),
]


def role_of(acc):
    """The role's name; at-spi2-core 2.56 (Debian 13) calls a push button "button"."""
    name = acc.getRoleName()
    return "push button" if name == "button" else name


def descendants(acc):
    for child in acc:
        if child is not None:
            yield child
            yield from descendants(child)


class Suite:
    def __init__(self, program):
        self.program = program
        self.tmp = tempfile.mkdtemp(prefix="velmora-erisilebilirlik-")
        self.desktop = Desktop(1280, 800, self.tmp)
        self.failed = self.passed = 0

    def step(self, name, fn, *args):
        try:
            fn(*args)
            self.passed += 1
            print(f"PASS {name}", flush=True)
        except StepFailed as e:
            self.failed += 1
            print(f"FAIL {name}: {e}", flush=True)

    def start(self):
        d = self.desktop
        d.start()
        # A session bus of our own, and at-spi2-core's launcher on it: it starts the AT-SPI bus, which
        # starts the registry as the first application registers.
        r, w = os.pipe()
        d.spawn(["dbus-daemon", "--session", "--nofork", f"--print-address={w}"], "dbus", pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as f:
            d.env["DBUS_SESSION_BUS_ADDRESS"] = f.readline().strip()
        d.spawn(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], "at-spi")
        os.environ.update({k: d.env[k] for k in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        poll("the AT-SPI bus", lambda: "AT_SPI_BUS" in d.run("xprop", "-root", "AT_SPI_BUS", check=False)
             and "not found" not in d.run("xprop", "-root", "AT_SPI_BUS", check=False), timeout=15)
        global pyatspi
        import pyatspi  # reads the bus address once, when it is first imported
        d.spawn([self.program], "velmora", env=dict(d.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1"))
        self.app = poll("the program in the registry", self.find_app, timeout=20)

    def find_app(self):
        desk = pyatspi.Registry.getDesktop(0)
        return next((a for a in desk if a is not None and a.name == "Velmora" and a.childCount), None)

    def top(self, role, name):
        return next((w for w in self.app if w is not None and role_of(w) == role and w.name == name), None)

    def clock(self):
        now = datetime.datetime.now()
        shown = {(now - datetime.timedelta(minutes=m)).strftime("%H:%M") for m in (0, 1)}
        clocks = [w for w in self.app if w is not None and role_of(w) == "frame"]
        if len(clocks) != 1 or clocks[0].name not in shown:
            raise StepFailed(f"top level frames {[w.name for w in clocks]}, the time is {sorted(shown)}")
        self.clock_frame = clocks[0]
        kids = [(role_of(c), c.name) for c in self.clock_frame]
        want = [("label", "Saat"), ("label", "Dakika"), ("label", "Saniye"), ("push button", "Menü")]
        if kids[:4] != want:
            raise StepFailed(f"the clock holds {kids}")
        digits = [c.description for c in list(self.clock_frame)[:2]]
        if ":".join(digits) != self.clock_frame.name:
            raise StepFailed(f"the fields read {digits}, the clock is named {self.clock_frame.name}")

    def popup(self):
        button = self.clock_frame[3]
        action = button.queryAction()
        if [action.getName(i) for i in range(action.nActions)] != ["Press"]:
            raise StepFailed("the picture has no press action")
        action.doAction(0)
        menu = poll("the popup inside the clock", lambda: next(
            (c for c in self.clock_frame if role_of(c) == "popup menu"
             and c.getState().contains(pyatspi.STATE_SHOWING)), None))
        names = [c.name for c in menu]
        if names != POPUP:
            raise StepFailed(f"the popup reads {names}")
        sub = [c.name for c in menu[2][0]]
        if sub != AYARLAR or menu[2][0].parent.parent != menu:
            raise StepFailed(f"the submenu reads {sub}")
        self.menu = menu

    def window(self, item, role, name, controls):
        if not self.menu.getState().contains(pyatspi.STATE_SHOWING):
            self.clock_frame[3].queryAction().doAction(0)
            poll("the popup", lambda: self.menu.getState().contains(pyatspi.STATE_SHOWING))
        target = next(c for c in list(self.menu) + list(self.menu[2][0]) if c.name == item)
        target.queryAction().doAction(0)
        w = poll(f"{role} {name!r}", lambda: self.top(role, name))
        found = [(role_of(c), c.name) for c in descendants(w)]
        for want_role, want_name in controls:
            if not any(r == want_role and (n == want_name or want_name is None and n) for r, n in found):
                raise StepFailed(f"no {want_role} {want_name!r} in {found}")
        unnamed = [r for r, n in found if not n]
        if unnamed:
            raise StepFailed(f"controls without a name: {unnamed}")
        # Escape closes it as its close button does, once the window manager has given it the keys.
        poll(f"{name!r} to be active", lambda: w.getState().contains(pyatspi.STATE_ACTIVE))
        self.desktop.keys("Escape")
        poll(f"{name!r} to close on Escape", lambda: self.top(role, name) is None)

    def run(self):
        set_deadline(100)
        try:
            self.start()
        except (StepFailed, Fatal) as e:
            print(f"FAIL start: {e}", flush=True)
            self.desktop.stop()
            return 1
        self.step("the clock is a frame named by the time, its separators left out", self.clock)
        self.step("the picture is the button Menü, and presses open the popup in the clock", self.popup)
        if self.failed == 0:
            for item, role, name, controls in WINDOWS:
                self.step(f"{item}: a {role} named {name!r}, every control named", self.window,
                          item, role, name, controls)
        self.desktop.stop()
        return finish_run(self.tmp, self.passed, self.failed)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(Suite(os.path.abspath(sys.argv[1])).run())
