"""What the window checks of the end-to-end suite (masaustu.py) and of the desktop matrix
(masaustleri.py) share: waiting, pictures, the X tools that look at the screen and drive the pointer,
and the clock's own checks, run the same way under every window manager.
"""

import ctypes
import os
import re
import signal
import struct
import shutil
import subprocess
import time
import zlib

CLOCK_W, CLOCK_H, CORNER_GAP = 133, 34, 33
# Inside the clock: a digit of the minutes, the picture, the three digit boxes and the two
# separator strips (columns no digit reaches).
ON_DIGIT = (64, 18)
ON_PICTURE = (126, 16)
HOURS, MINUTES, SECONDS = (8, 6, 33, 28), (50, 6, 24, 28), (90, 6, 30, 28)
COLONS = [(36, 6, 11, 26), (76, 6, 11, 26)]

# The popup, from the top: Saati Oku..., Ayarlar (submenu: Şeffaflık Ayarı, Renk Ayarı),
# Kronometre, Zamanlayıcı, Yardım, Hakkında, Çıkış. Keys that choose each window.
WINDOWS = [
    ("Kronometre", ["Down", "Down", "Down", "Return"]),
    ("Şeffaflık Ayarı", ["Down", "Down", "Right", "Return"]),
    ("Renk Ayarı", ["Down", "Down", "Right", "Down", "Return"]),
    ("Zamanlayıcı", ["Down", "Down", "Down", "Down", "Return"]),
    ("Yardım", ["Down", "Down", "Down", "Down", "Down", "Return"]),
    ("Orlenbay Velmora", ["Down", "Down", "Down", "Down", "Down", "Down", "Return"]),  # Hakkında
]
KEYS = dict(WINDOWS)
EXIT_KEYS = ["Down"] * 7 + ["Return"]

OPAQUE = 0xFFFFFFFF

_deadline = time.monotonic() + 100


def set_deadline(seconds):
    """No wait runs past this many seconds from now, so a run's cleanup always comes before its timeout."""
    global _deadline
    _deadline = time.monotonic() + seconds


def out_of_time():
    return time.monotonic() > _deadline


class StepFailed(Exception):
    pass


class Fatal(Exception):
    """A failure after which the remaining steps cannot run."""


def die_with_parent():
    # Children go when this script goes, also when CTest kills it at its timeout.
    try:
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def finish_run(tmp, passed, failed):
    """Keeps the logs of a failed run, says the count and gives the exit status."""
    if failed == 0:
        shutil.rmtree(tmp, ignore_errors=True)
    else:
        print(f"     logs kept in {tmp}", flush=True)
    print(f"{passed} passed, {failed} failed", flush=True)
    return 1 if failed else 0


def poll(what, condition, timeout=5.0, interval=0.05):
    """Waits until condition() returns something true and returns it; fails after timeout."""
    end = min(time.monotonic() + timeout, _deadline)
    last = None
    while True:
        last = condition()
        if last:
            return last
        if time.monotonic() >= end:
            raise StepFailed(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def stays(what, condition, duration=0.4, interval=0.05):
    """A negative check: condition() must hold throughout a short window."""
    end = time.monotonic() + duration
    while time.monotonic() < end:
        if not condition():
            raise StepFailed(what)
        time.sleep(interval)


# ---------------------------------------------------------------- images

class Image:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @staticmethod
    def from_ppm(data):
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while end < len(data) and not data[end:end + 1].isspace():
                end += 1
            if end == pos:
                raise StepFailed("screenshot has no complete PPM header")
            fields.append(data[pos:end])
            pos = end
        pos += 1
        if fields[0] != b"P6":
            raise StepFailed(f"screenshot is not a binary PPM ({fields[0]!r})")
        width, height, maxval = int(fields[1]), int(fields[2]), int(fields[3])
        raw = data[pos:]
        if maxval > 255:  # 16-bit samples: keep the high bytes
            raw = raw[0::2]
        return Image(width, height, raw[:width * height * 3])

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, x, y, w, h):
        rows = [self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x + w) * 3] for r in range(h)]
        return Image(w, h, b"".join(rows))

    def pixels(self):
        return [self.pixel(x, y) for y in range(self.height) for x in range(self.width)]

    def count(self, test):
        return sum(1 for p in self.pixels() if test(p))

    def save_png(self, path):
        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
        stride = self.width * 3
        rows = b"".join(b"\0" + self.rgb[r * stride:(r + 1) * stride] for r in range(self.height))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)))
            f.write(chunk(b"IDAT", zlib.compress(rows, 6)))
            f.write(chunk(b"IEND", b""))


def near(colour, tolerance=60):
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, colour))


def greenish(p):
    # Green on black, antialiased: red and blue stay low whatever the green.
    return p[1] >= 160 and p[0] <= 80 and p[2] <= 80


def is_black(p):
    return max(p) <= 24


# ---------------------------------------------------------------- the X tools

class XDisplay:
    """Looks at one X display (env) and drives its pointer and keys. A nested compositor takes its
    input and shows its picture on the outer X server: input_env and screen_env name that one."""

    def __init__(self, env):
        self.env = env
        self.input_env = None
        self.screen_env = None


    def run(self, *argv, timeout=10, check=True):
        r = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise StepFailed(f"{' '.join(argv)} failed: {r.stderr.decode(errors='replace').strip()}")
        return r.stdout.decode("utf-8", errors="replace")

    def xdotool(self, *args, on_windows=False):
        """Pointer and keys go to the server that takes the input; commands that name a window
        (on_windows) to the one that holds it."""
        argv = ["xdotool", *[str(a) for a in args]]
        env = self.env if on_windows else self.input_env or self.env
        r = subprocess.run(argv, env=env, capture_output=True, timeout=10)
        if r.returncode != 0:
            raise StepFailed(f"{' '.join(argv)} failed: {r.stderr.decode(errors='replace').strip()}")

    def keys(self, *names):
        self.xdotool("key", "--delay", "30", *names)

    def wm_running(self):
        return "window id #" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False)

    def root_windows(self, prop):
        out = self.run("xprop", "-root", "-notype", prop, check=False)
        return [int(h, 16) for h in re.findall(r"0x[0-9a-fA-F]+", out.split(":", 1)[-1])]

    def clients(self):
        return self.root_windows("_NET_CLIENT_LIST")

    def active(self):
        ids = self.root_windows("_NET_ACTIVE_WINDOW")
        return ids[0] if ids else None

    def prop(self, wid, name):
        out = self.run("xprop", "-id", str(wid), "-notype", name, check=False)
        if "not found" in out or "no such" in out.lower() or "=" not in out:
            return None
        return out.split("=", 1)[1].strip()

    def name(self, wid):
        value = self.prop(wid, "_NET_WM_NAME") or self.prop(wid, "WM_NAME")
        return value[1:-1] if value and value.startswith('"') else value

    def states(self, wid):
        value = self.prop(wid, "_NET_WM_STATE")
        return set(s.strip() for s in value.split(",")) if value else set()

    def opacity(self, wid):
        value = self.prop(wid, "_NET_WM_WINDOW_OPACITY")
        return int(value) if value is not None else None

    def named(self, caption):
        return [w for w in self.clients() if self.name(w) == caption]

    def unmanaged_named(self, caption):
        """Override-redirect windows (no window manager lists them) carrying a caption."""
        out = self.run("xwininfo", "-root", "-children", check=False)
        found = [int(m.group(1), 16) for m in re.finditer(r'^\s+(0x[0-9a-f]+) "([^"]*)"', out, re.M)
                 if m.group(2) == caption]
        return [w for w in found if (self.info(w) or {}).get("override")]

    def info(self, wid):
        out = self.run("xwininfo", "-id", str(wid), check=False)
        if "Absolute upper-left X" not in out:
            return None
        get = lambda label: re.search(label + r":\s+(\S+)", out).group(1)
        return {"x": int(get("Absolute upper-left X")), "y": int(get("Absolute upper-left Y")),
                "w": int(get("Width")), "h": int(get("Height")), "map": get("Map State"),
                "override": get("Override Redirect State") == "yes"}

    def geometry(self, wid):
        i = self.info(wid)
        return (i["x"], i["y"], i["w"], i["h"]) if i else None

    def popups(self):
        """Mapped override-redirect windows of the program (its popup menus), not the clock (which is
        one where the window manager cannot keep it above)."""
        out = self.run("xwininfo", "-root", "-children", check=False)
        found = []
        for m in re.finditer(r"^\s+(0x[0-9a-f]+) (?!\"Form1\").*\(\"velmora\" \"Velmora\"\)", out, re.M):
            i = self.info(int(m.group(1), 16))
            if i and i["override"] and i["map"] == "IsViewable":
                found.append(int(m.group(1), 16))
        return found

    def screenshot(self, region=None):
        argv = ["import", "-window", "root"]
        if region:
            x, y, w, h = region
            argv += ["-crop", f"{w}x{h}+{x}+{y}"]
        data = subprocess.run(argv + ["-depth", "8", "ppm:-"], env=self.screen_env or self.env, capture_output=True, timeout=15).stdout
        if not data:
            raise StepFailed("screenshot failed")
        return Image.from_ppm(data)


    def close(self, wid):
        """Closes a window as its user would: activated, then Alt+F4."""
        if self.active() != wid:
            self.xdotool("windowactivate", "--sync", wid, on_windows=True)
        self.keys("alt+F4")


# ---------------------------------------------------------------- the clock's checks

class ClockChecks:
    """Steps on the clock, for a class that holds d (an XDisplay), proc (the program), clock (its
    window id), width and height (the primary output) and evidence (images looked at in a step)."""

    @property
    def corner(self):
        return (self.width - CLOCK_W, self.height - CLOCK_H - CORNER_GAP)

    def fail(self, message):
        raise StepFailed(message)

    def expect(self, condition, message):
        if not condition:
            raise StepFailed(message)

    def find_clock(self):
        if self.proc.poll() is not None:
            raise Fatal(f"velmora ended with exit code {self.proc.returncode}")
        for w in self.d.named("Form1") + self.d.unmanaged_named("Form1"):
            i = self.d.info(w)
            if i and i["map"] == "IsViewable":
                return w
        return None

    def clock_pos(self):
        g = self.d.geometry(self.clock)
        if not g:
            self.fail("the clock window is gone")
        return g[0], g[1]

    def wait_clock_at(self, pos, what, timeout=6.0):
        try:
            poll(what, lambda: self.clock_pos() == tuple(pos), timeout=timeout)
        except StepFailed:
            self.fail(f"{what}: clock at {self.clock_pos()}, expected {tuple(pos)}")

    def at_clock(self, offset):
        x, y = self.clock_pos()
        return x + offset[0], y + offset[1]

    def clock_image(self):
        x, y = self.clock_pos()
        img = self.d.screenshot((x, y, CLOCK_W, CLOCK_H))
        self.evidence.append(img)
        return img

    def on_screen(self, x, y):
        return min(max(x, 0), self.width - 1), min(max(y, 0), self.height - 1)

    def drag(self, buttons, dx, dy, steps=10):
        """Presses the buttons on a digit and moves by (dx, dy) in steps, the buttons still held.
        Returns the clock's position before the drag and the pointer's at the end."""
        start = self.clock_pos()
        px, py = self.at_clock(ON_DIGIT)
        self.d.xdotool("mousemove", px, py)
        for b in buttons:
            self.d.xdotool("mousedown", b)
        chain = []
        for i in range(1, steps + 1):
            chain += ["mousemove", *self.on_screen(px + dx * i // steps, py + dy * i // steps), "sleep", "0.02"]
        self.d.xdotool(*chain)
        return start, (px + dx, py + dy)

    def release(self, buttons):
        for b in reversed(buttons):
            self.d.xdotool("mouseup", b)

    def open_popup(self, button=1):
        before = set(self.d.popups())
        self.expect(not before, f"a popup is open already: {before}")
        x, y = self.at_clock(ON_PICTURE)
        self.d.xdotool("mousemove", x, y, "mousedown", button)
        try:
            found = poll(f"the popup menu after a press of button {button} on the picture",
                         lambda: [p for p in self.d.popups() if p not in before], timeout=5)
        finally:
            self.d.xdotool("mouseup", button)
        return found[0]

    def choose(self, keys):
        popup = self.open_popup()
        self.d.keys(*keys)
        poll("the popup menu to close", lambda: not self.d.popups(), timeout=5)
        return popup

    def open_window(self, caption):
        """Chooses the window's item and returns the one window carrying its caption, active."""
        self.choose(KEYS[caption])
        wid = poll(f'a window captioned "{caption}"', lambda: self.d.named(caption), timeout=8)[0]
        poll(f'"{caption}" to become the active window', lambda: self.d.active() == wid, timeout=5)
        return wid

    def close_window(self, wid, caption):
        self.d.close(wid)
        poll(f'"{caption}" to close', lambda: wid not in self.d.clients(), timeout=5)

    def drag_away(self, dx, dy):
        start, _ = self.drag([1], dx, dy)
        dragged = (start[0] + dx, start[1] + dy)
        try:
            self.wait_clock_at(dragged, "the clock following the pointer")
        finally:
            self.release([1])
        return dragged

    # --- the steps both runs take

    def s_clock_geometry(self):
        g = self.d.geometry(self.clock)
        self.expect(g == (*self.corner, CLOCK_W, CLOCK_H),
                    f"clock at {g}, expected {(*self.corner, CLOCK_W, CLOCK_H)}")

    def s_clock_states(self):
        states = self.d.states(self.clock)
        missing = {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"} - states
        self.expect(not missing, f"_NET_WM_STATE is {sorted(states)}, missing {sorted(missing)}")
        self.expect(self.d.opacity(self.clock) in (None, OPAQUE), "the clock is not opaque")

    def s_left_drag(self):
        start, _ = self.drag([1], -300, -200)
        target = (start[0] - 300, start[1] - 200)
        try:
            self.wait_clock_at(target, "the clock following the pointer")
        finally:
            self.release([1])
        stays("the clock moved after the button was released", lambda: self.clock_pos() == target, 0.3)
        self.expect(not self.d.popups(), "a press on a digit opened a popup")

    def s_stopwatch_returns_clock(self):
        dragged = self.drag_away(-250, -150)
        self.expect(dragged != self.corner, "the drag left the clock at the corner")
        wid = self.open_window("Kronometre")
        self.expect(self.clock_pos() == dragged, "opening the stopwatch moved the clock")
        self.close_window(wid, "Kronometre")
        self.wait_clock_at(self.corner, "the clock back at the corner after the stopwatch closed")
