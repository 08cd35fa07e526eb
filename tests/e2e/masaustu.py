#!/usr/bin/env python3
"""The real velmora on an X server of its own, with a real window manager, driven only as a user
drives it: pointer and keys through xdotool, what is on screen through xprop, xwininfo and
screenshots.

    masaustu.py PATH/TO/velmora WIDTHxHEIGHT [--out DIR]

The program's sound goes to a PulseAudio server of the suite's own with a null sink, whose monitor
is recorded to hear the spoken time.

Every step prints its name and PASS or FAIL; a failed step keeps a screenshot (and a recording, where
one was made) in DIR (default ./e2e-WIDTHxHEIGHT). The exit code is non-zero when any step failed.
"""

import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no cache folder in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import announcement_audio as audio  # noqa: E402
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from saatkontrol import (CLOCK_W, CLOCK_H, CORNER_GAP, COLONS, EXIT_KEYS, HOURS, KEYS, MINUTES,  # noqa: E402
                         ON_DIGIT, OPAQUE, SECONDS, WINDOWS, ClockChecks, Fatal, StepFailed, XDisplay,
                         die_with_parent as _die_with_parent, finish_run, greenish, is_black, near, out_of_time,
                         poll, stays)

SECTION = "[Velmora V.2.0]"
FIRST_RUN = [
    ("Ayar", "1"),
    ("Yazı Rengi", "65280"),
    ("Şeffaflık", "255"),
    ("Dil", "Türkçe"),
    ("Okuma Dili", "Türkçe"),
    ("Zaman1", "00"),
    ("Zaman2", "00"),
    ("Başlık", ""),
    ("Metin", ""),
    ("Arka", "0"),
]

# Controls of the colour and transparency dialogs, in pixels inside their client areas.
RENK_TEXT_SWATCH = (204, 16)
RENK_BACK_SWATCH = (204, 40)
RENK_TAMAM = (108, 76)

# The spoken time: the opening clip may come this late after the key that chose it (a cold audio device
# opens first); every later clip within audio.LISTENER_MS of its second on the opening clip's grid, as a
# listener hears it also on a busy machine.
OPENING_LATE_MS = 250
HEARD_MS = 5600  # the recording runs this long after the key: the last clip starts at 4 s
OKU_LATE_MS = 300  # velmora --oku to a running clock: from the command's start to the opening clip

# The reminder's step: the program's clock is set by libfaketime to a few seconds before the minute.
FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
REMINDER = {"Zaman1": "13", "Zaman2": "41", "Başlık": "Toplantı", "Metin": "Oda 3, ikinci kat"}
REMINDER_START = "2026-12-09 13:40:56"
REMINDER_LEAD_S = 4


# ---------------------------------------------------------------- the desktop

class Desktop(XDisplay):
    def __init__(self, width, height, tmp):
        XDisplay.__init__(self, None)
        self.width, self.height, self.tmp = width, height, tmp
        self.procs = []
        self.xvfb = self.openbox = None
        self.pulse = None
        self.tsrec = None
        self.display = None
        for d in ("home", "config", "wm-config", "run", "cache", "data", "state"):
            os.makedirs(os.path.join(tmp, d), mode=0o700)
        self.config = os.path.join(tmp, "config")
        self.settings = os.path.join(self.config, "Orlenbay.ini")
        drop = ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION")
        self.env = {k: v for k, v in os.environ.items() if k not in drop and not k.startswith("QT_")}
        self.env.update(HOME=os.path.join(tmp, "home"), XDG_CONFIG_HOME=self.config,
                        XDG_RUNTIME_DIR=os.path.join(tmp, "run"), XDG_CACHE_HOME=os.path.join(tmp, "cache"),
                        XDG_DATA_HOME=os.path.join(tmp, "data"), XDG_STATE_HOME=os.path.join(tmp, "state"),
                        LC_ALL="C.UTF-8", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb", SDL_AUDIODRIVER="dummy")

    def spawn(self, argv, name, env=None, **extra):
        with open(os.path.join(self.tmp, name + ".log"), "ab") as log:
            p = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=subprocess.STDOUT, preexec_fn=_die_with_parent, **extra)
        self.procs.append(p)
        return p

    def start(self, wm=("openbox", "--sm-disable"), name="openbox", env=None):
        """An X server and a window manager on it (argv wm, started with env added)."""
        self.start_x()
        wm_env = dict(self.env, XDG_CONFIG_HOME=os.path.join(self.tmp, "wm-config"), **(env or {}))
        self.openbox = self.spawn(list(wm), name, env=wm_env)
        poll(f"{name} to manage the screen", self.wm_running, timeout=15)

    def start_x(self):
        # Xvfb picks a free display itself and writes its number once it takes connections.
        r, w = os.pipe()
        self.xvfb = self.spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", f"{self.width}x{self.height}x24",
                                "-nolisten", "tcp", "-noreset"], "xvfb", pass_fds=(w,))
        os.close(w)
        number = b""
        end = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([r], [], [], max(0.0, end - time.monotonic()))
            if not ready:
                raise Fatal("Xvfb did not report a display within 20 s")
            chunk = os.read(r, 16)
            if not chunk:
                raise Fatal("Xvfb ended before reporting a display")
            number += chunk
        os.close(r)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def start_sound(self):
        """A sound server of our own; the program started after this plays into its null sink."""
        folder = os.path.join(self.tmp, "sound")
        os.makedirs(folder, mode=0o700)
        self.tsrec = audio.build_tsrec(folder)
        pulse = audio.PrivatePulse(folder, self.env)
        try:
            pulse.start(preexec_fn=_die_with_parent)
        finally:
            if pulse.proc:
                self.procs.append(pulse.proc)
        self.pulse = pulse
        self.env = pulse.env

    def stop(self):
        audio.stop_processes(self.procs)


# ---------------------------------------------------------------- the suite

class Suite(ClockChecks):
    def __init__(self, program, width, height, out):
        self.program, self.width, self.height, self.out = program, width, height, out
        self.passed = self.failed = 0
        self.step_no = 0
        self.tmp = tempfile.mkdtemp(prefix=f"velmora-e2e-{width}x{height}-")
        os.chmod(self.tmp, 0o700)
        self.d = Desktop(width, height, self.tmp)
        self.proc = None
        self.clock = None
        self.evidence = []  # images looked at in the current step

    def step(self, name, fn, *args, fatal=False):
        self.step_no += 1
        self.evidence = []
        label = f"[{self.step_no:02d}] {name}"
        started = time.monotonic()
        try:
            if out_of_time():
                raise Fatal("out of time")
            fn(*args)
        except Exception as e:  # any fault of a step is that step's failure; the suite goes on
            self.failed += 1
            reason = str(e) if isinstance(e, (StepFailed, Fatal)) else f"{type(e).__name__}: {e}"
            print(f"FAIL {label}: {reason}", flush=True)
            self.keep_failure(name)
            if fatal or isinstance(e, Fatal):
                raise Fatal(reason)
            return False
        self.passed += 1
        print(f"PASS {label} ({time.monotonic() - started:.2f} s)", flush=True)
        return True

    def keep_failure(self, name):
        slug = re.sub(r"[^A-Za-z0-9]+", "-", name.encode("ascii", "ignore").decode()).strip("-")[:50]
        base = os.path.join(self.out, f"{self.step_no:02d}-{slug}")
        try:
            os.makedirs(self.out, exist_ok=True)
            if self.d.display:
                self.d.screenshot().save_png(base + ".png")
                print(f"     screenshot: {base}.png", flush=True)
            for i, img in enumerate(self.evidence):
                img.save_png(f"{base}-looked-at-{i}.png")
        except Exception as e:  # the failure itself is what counts
            print(f"     (no screenshot: {e})", flush=True)
        if self.proc is not None and self.proc.poll() is not None:
            print(f"     velmora has ended with exit code {self.proc.returncode}", flush=True)
        log = os.path.join(self.tmp, "velmora.log")
        if os.path.exists(log):
            tail = open(log, "rb").read()[-1500:].decode(errors="replace").strip()
            if tail:
                print("     velmora output:\n       " + tail.replace("\n", "\n       "), flush=True)

    # --- helpers

    def settings_bytes(self):
        with open(self.d.settings, "rb") as f:
            return f.read()

    def settings(self):
        lines = [l for l in self.settings_bytes().decode("utf-8").splitlines() if l.strip()]
        if not lines or lines[0] != SECTION:
            self.fail(f"settings file does not start with {SECTION}: {lines[:1]}")
        pairs = []
        for line in lines[1:]:
            if "=" not in line:
                self.fail(f"settings line without '=': {line!r}")
            key, value = line.split("=", 1)
            pairs.append((key, value))
        return pairs

    def expect_settings(self, changes):
        expected = [(k, changes.get(k, v)) for k, v in FIRST_RUN]
        got = self.settings()
        if got != expected:
            self.fail(f"settings file holds {got}, expected {expected}")

    def start_velmora(self):
        self.proc = self.d.spawn([self.program], "velmora")
        self.clock = poll("the clock window (Form1) to be mapped", self.find_clock, timeout=20)

    def rebuilt_clock(self, old):
        """After a dialog's confirm: the new clock window, mapped, replacing the old one."""
        def new_one():
            found = [w for w in self.d.named("Form1") if w != old and (self.d.info(w) or {}).get("map") == "IsViewable"]
            return found[0] if len(found) == 1 and old not in self.d.clients() else None
        self.clock = poll("the rebuilt clock window", new_one, timeout=8)
        missing = {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR"} - self.d.states(self.clock)
        self.expect(not missing, f"the rebuilt clock lacks {sorted(missing)}")
        return self.clock

    # --- the steps

    def s_first_run_settings(self):
        poll("the settings file", lambda: os.path.exists(self.d.settings), timeout=5)
        others = sorted(os.listdir(self.d.config))
        self.expect(others == ["Orlenbay.ini"], f"config folder holds {others}")
        self.expect_settings({})

    def s_green_on_black(self):
        problems = []

        def looks_right():
            img = self.clock_image()
            face = img.crop(0, 0, 120, CLOCK_H)  # without the picture at the right end
            total = face.width * face.height
            black = face.count(is_black)
            other = face.count(lambda p: p[0] > 60 or p[2] > 60)
            problems[:] = []
            if black < total * 0.6:
                problems.append(f"only {black} of {total} pixels are black")
            if other > total * 0.01:
                problems.append(f"{other} pixels are neither black nor green")
            for name, box in (("hours", HOURS), ("minutes", MINUTES), ("seconds", SECONDS)):
                green = img.crop(*box).count(greenish)
                if green < 40:
                    problems.append(f"the {name} show only {green} green pixels")
            return not problems
        try:
            poll("green digits on black", looks_right, timeout=6, interval=0.2)
        except StepFailed:
            self.fail("; ".join(problems))

    def s_seconds_change(self):
        # A clock refreshed every second changes its seconds three times in any 3.9 s, also when a busy
        # machine holds one refresh back by half a second; one refreshed every two seconds or not at all
        # cannot. (Two screenshots 1.1 s apart failed when a refresh came 0.1 s late.)
        x, y = self.clock_pos()
        end = time.monotonic() + 3.9
        last, changes = None, 0
        while changes < 3 and time.monotonic() < end:
            img = self.d.screenshot((x, y, CLOCK_W, CLOCK_H))
            seconds = img.crop(*SECONDS).rgb
            if last is not None and seconds != last:
                changes += 1
                self.evidence.append(img)
            last = seconds
        self.expect(changes >= 3, f"the seconds changed {changes} times in 3.9 s")

    def s_separators_blink(self):
        seen = set()

        def look():
            img = self.clock_image()
            counts = [img.crop(*box).count(greenish) for box in COLONS]
            if all(c >= 8 for c in counts):
                seen.add(":")
            elif all(c == 0 for c in counts):
                seen.add(" ")
            return len(seen) == 2
        poll("both separators to show ':' and then ' '", look, timeout=6, interval=0.1)

    def s_after_drag(self):
        # The move has ended: the pointer moves freely, and a second drag works from where the first ended.
        before = self.clock_pos()
        px, py = self.at_clock(ON_DIGIT)
        self.d.xdotool("mousemove", *self.on_screen(px - 80, py - 60), "sleep", "0.05", "mousemove", px, py,
                       "sleep", "0.05", "mousemove", px + 10, py + 5)
        stays("the clock follows the pointer with no button held", lambda: self.clock_pos() == before, 0.3)
        start, _ = self.drag([1], 40, 25, steps=4)
        target = (start[0] + 40, start[1] + 25)
        try:
            self.wait_clock_at(target, "a second drag")
        finally:
            self.release([1])
        stays("the clock moved after the second drag ended", lambda: self.clock_pos() == target, 0.3)

    def s_flick(self):
        # Press, move and release faster than the window manager takes the pointer: wherever that leaves
        # the clock, it must not go on following the pointer with the button up.
        start = self.clock_pos()
        px, py = self.at_clock(ON_DIGIT)
        self.d.xdotool("mousemove", px, py, "mousedown", 1, "mousemove", px - 100, py - 50, "mouseup", 1)
        last = [None]

        def settled():
            pos, last[0] = last[0], self.clock_pos()
            return pos == last[0]
        poll("the clock to come to rest after the flick", settled, timeout=3, interval=0.2)
        rest = last[0]
        self.expect(rest in (start, (start[0] - 100, start[1] - 50)), f"the flick left the clock at {rest}")
        chain = []
        for i in range(1, 6):
            chain += ["mousemove", *self.on_screen(px - 100 - 60 * i, py - 50 - 40 * i), "sleep", "0.03"]
        self.d.xdotool(*chain)
        # A window manager slowed by a busy machine may still carry out the flick's move: either resting
        # place is right, a place the pointer went to afterwards is not.
        rests = (start, (start[0] - 100, start[1] - 50))
        stays(f"after the flick the clock follows the pointer with no button held (at {self.clock_pos()})",
              lambda: self.clock_pos() in rests, 0.5)

    def s_no_drag(self, buttons, what):
        start, _ = self.drag(buttons, -300, -200)
        self.release(buttons)
        stays(f"a {what} drag moved the clock", lambda: self.clock_pos() == start, 0.5)
        self.expect(not self.d.popups(), f"a {what} press on a digit opened a popup")

    def s_popup_escape(self, button):
        pos = self.clock_pos()
        windows = sorted(self.d.clients())
        data = self.settings_bytes()
        self.open_popup(button)
        self.d.keys("Escape")
        poll("the popup menu to close", lambda: not self.d.popups(), timeout=5)
        stays("dismissing the popup changed something",
              lambda: sorted(self.d.clients()) == windows and self.clock_pos() == pos and self.proc.poll() is None,
              0.4)
        self.expect(self.settings_bytes() == data, "dismissing the popup changed the settings file")

    def s_window(self, caption):
        wid = self.open_window(caption)
        stacking = self.d.root_windows("_NET_CLIENT_LIST_STACKING")
        self.expect(stacking.index(self.clock) > stacking.index(wid),
                    f'the clock is below "{caption}" in the stacking order')
        # Chosen again while open: brought forward, never a second one. The press on the picture makes
        # the clock the active window, so the window's coming back shows that the choice was taken.
        clicked = self.clock_pos()
        self.open_popup()
        poll("the clock to become active on the press", lambda: self.d.active() == self.clock, timeout=5)
        self.d.keys(*KEYS[caption])
        poll("the popup menu to close", lambda: not self.d.popups(), timeout=5)
        poll(f'"{caption}" to be active again', lambda: self.d.active() == wid, timeout=5)
        stays(f'choosing "{caption}" twice made another window', lambda: self.d.named(caption) == [wid], 0.4)
        self.expect(self.clock_pos() == clicked, "choosing the item moved the clock")
        # Only the stopwatch has a taskbar entry: a minimised one can be found there.
        skips = "_NET_WM_STATE_SKIP_TASKBAR" in self.d.states(wid)
        self.expect(skips != (caption == "Kronometre"),
                    f'"{caption}" {"has no" if skips else "has a"} taskbar entry')
        # Minimised with the window manager's button, it comes back when chosen again.
        self.d.xdotool("windowminimize", "--sync", wid)
        self.choose(KEYS[caption])
        poll(f'the minimised "{caption}" to come back, active', lambda: self.d.active() == wid and
             (self.d.info(wid) or {}).get("map") == "IsViewable", timeout=5)
        self.close_window(wid, caption)

    def s_back_from_own_window(self):
        self.drag_away(-200, -100)
        wid = self.open_window("Yardım")
        x, y = self.at_clock(ON_DIGIT)
        self.d.xdotool("mousemove", x, y, "click", 1)
        self.wait_clock_at(self.corner, "the clock back at the corner when the user comes back from Yardım")
        self.close_window(wid, "Yardım")

    def s_back_from_other_program(self):
        dragged = self.drag_away(-200, -100)
        other = self.d.spawn(["xmessage", "-geometry", "+20+20", "another program"], "xmessage")
        try:
            wid = poll("the other program's window", lambda: self.d.named("xmessage"), timeout=8)[0]
            poll("the other program to become active", lambda: self.d.active() == wid, timeout=5)
            x, y = self.at_clock(ON_DIGIT)
            self.d.xdotool("mousemove", x, y, "click", 1)
            poll("the clock to become active", lambda: self.d.active() == self.clock, timeout=5)
            stays("coming back from another program moved the clock", lambda: self.clock_pos() == dragged, 0.4)
        finally:
            other.terminate()
            other.wait(timeout=5)
        # Home again for the next steps: a window of the program and back.
        wid = self.open_window("Kronometre")
        self.close_window(wid, "Kronometre")
        self.wait_clock_at(self.corner, "the clock back at the corner")

    def s_second_start(self):
        dragged = self.drag_away(-220, -120)
        data = self.settings_bytes()
        second = self.d.spawn([self.program], "velmora-second")
        try:
            code = second.wait(timeout=10)
        except subprocess.TimeoutExpired:
            second.kill()
            self.fail("a second start on the same display did not end within 10 s")
        self.expect(code == 0, f"the second start ended with exit code {code}")
        self.wait_clock_at(self.corner, f"the running clock called back from {dragged} to the corner")
        self.expect(self.proc.poll() is None, "the running clock ended")
        self.expect(self.d.named("Form1") == [self.clock], f"clock windows: {self.d.named('Form1')}")
        self.expect(self.settings_bytes() == data, "a second start changed the settings file")

    def pick_colour(self, dialog, swatch, html):
        before = set(self.d.clients())
        g = self.d.geometry(dialog)
        self.d.xdotool("mousemove", g[0] + swatch[0], g[1] + swatch[1], "click", 1)
        chooser = poll("the colour chooser", lambda: [w for w in self.d.clients() if w not in before], timeout=8)[0]
        poll("the colour chooser to become active", lambda: self.d.active() == chooser, timeout=5)
        self.expect(self.d.name(chooser) == "Renk Seç", f'the colour chooser is captioned "{self.d.name(chooser)}"')
        self.d.keys("alt+h", "ctrl+a")
        self.d.xdotool("type", "--delay", "30", html)
        self.d.keys("Return")
        poll("the colour chooser to close", lambda: chooser not in self.d.clients(), timeout=5)
        poll("the keyboard focus back on the colour dialog", lambda: self.d.active() == dialog, timeout=3)

    def s_colour_dialog(self):
        old = self.clock
        dialog = self.open_window("Renk Ayarı")
        self.pick_colour(dialog, RENK_TEXT_SWATCH, "#ff0000")
        self.pick_colour(dialog, RENK_BACK_SWATCH, "#0000ff")
        self.expect_settings({})  # nothing stored before "&Tamam"
        g = self.d.geometry(dialog)
        self.d.xdotool("mousemove", g[0] + RENK_TAMAM[0], g[1] + RENK_TAMAM[1], "click", 1)
        poll('"Renk Ayarı" to close', lambda: dialog not in self.d.clients(), timeout=5)
        self.rebuilt_clock(old)
        self.expect_settings({"Yazı Rengi": "255", "Arka": "16711680"})
        self.wait_clock_at(self.corner, "the rebuilt clock at the corner")
        self.expect_red_on_blue()

    def expect_red_on_blue(self):
        def looks_right():
            img = self.clock_image()
            face = img.crop(0, 0, 120, CLOCK_H)
            blue = face.count(near((0, 0, 255), 30))
            red = face.count(near((255, 0, 0), 70))
            return blue >= face.width * face.height * 0.6 and red >= 60
        try:
            poll("red digits on a blue background", looks_right, timeout=6, interval=0.2)
        except StepFailed:
            face = self.evidence[-1].crop(0, 0, 120, CLOCK_H)
            self.fail(f"clock shows {face.count(near((0, 0, 255), 30))} blue and "
                      f"{face.count(near((255, 0, 0), 70))} red pixels, background pixel {face.pixel(2, 2)}")

    def s_transparency_dialog(self):
        old = self.clock
        dialog = self.open_window("Şeffaflık Ayarı")

        def shown_opacity():
            value = self.d.opacity(self.clock)
            return OPAQUE if value is None else value  # no property: opaque
        # Home is 0, shown at the least visible opacity of 26.
        for key, alpha in (("Home", 26), ("End", 255), ("Left", 254)):
            want = round(alpha / 255 * OPAQUE)
            self.d.keys(key)
            try:
                poll(f"opacity {alpha}", lambda: abs(shown_opacity() - want) <= 1, timeout=6)
            except StepFailed:
                self.fail(f"after {key} the clock's opacity is {shown_opacity()}, expected {want} ({alpha}/255)")
        self.d.keys("Left", "Left", "Left", "Left")
        self.expect_settings({"Yazı Rengi": "255", "Arka": "16711680"})  # nothing stored before "&Tamam"
        self.d.keys("alt+t")
        poll('"Şeffaflık Ayarı" to close', lambda: dialog not in self.d.clients(), timeout=5)
        self.rebuilt_clock(old)
        self.expect_settings({"Yazı Rengi": "255", "Arka": "16711680", "Şeffaflık": "250"})
        want = round(250 / 255 * OPAQUE)
        got = self.d.opacity(self.clock)
        self.expect(got is not None and abs(got - want) <= 1, f"rebuilt clock opacity {got}, expected {want}")
        self.wait_clock_at(self.corner, "the rebuilt clock at the corner")
        self.expect_red_on_blue()

    def s_exit(self):
        data = self.settings_bytes()
        self.choose(EXIT_KEYS)
        try:
            code = self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.fail('"Çıkış" did not end the program within 5 s')
        self.expect(code == 0, f'"Çıkış" ended the program with exit code {code}')
        self.expect(self.settings_bytes() == data, '"Çıkış" changed the settings file')

    def s_time_heard(self):
        self.expect(self.d.pulse is not None, "no sound server to listen to (its step failed)")
        ses = os.path.join(os.path.dirname(self.program), "Ses")
        # Twice: the second after the device has closed again (3 s after the last clip). The popup's
        # opening readies the device, so each opening clip is held to the grid like the later ones.
        said = []
        for attempt in (1, 2):
            faults, problems = self.announce_and_hear(ses, attempt)
            said += [f"{'first' if attempt == 1 else 'second'}: {p}" for p in faults + problems]
        if said:
            self.fail("; ".join(said))

    def announce_and_hear(self, ses, attempt, clock=time.time, device_opens=False, ask=None,
                          opening_late_ms=OPENING_LATE_MS):
        """Asks for the time while the null sink is recorded (ask(), which returns the moment of the
        request, or that and the time it speaks; by default "Saati Oku..." chosen by keyboard), and judges what was heard against the
        time the program's clock (clock()) showed then; device_opens as announcement_audio.hear takes
        it. Returns (faults, problems) as hear gives them; a failing recording is kept."""
        # The hour is read at 1 and 2 s, the minute at 3 and 4 s: keep the whole announcement in one minute.
        sec = clock() % 60
        if sec >= 53:
            time.sleep(60.3 - sec)
        path = os.path.join(self.tmp, f"heard-{attempt}.wav")
        begun = time.time()
        rec = audio.Recording(self.d.tsrec, path, self.d.env, preexec_fn=_die_with_parent)
        try:
            poll("the recorder to start", rec.started, timeout=5)
            asked = (ask or self.choose_oku)()
            pressed, hhmm = asked if isinstance(asked, tuple) else (
                asked, time.strftime("%H:%M", time.localtime(clock() + asked - time.time())))
            # Until the recording holds HEARD_MS after the key: a recorder that fell behind under load
            # would otherwise lose the last clip's end.
            need = 44 + int((pressed - begun + HEARD_MS / 1000) * 44100) * 4
            end = time.monotonic() + max(0.0, pressed - time.time()) + HEARD_MS / 1000 + 5
            while time.monotonic() < end and not (os.path.exists(path) and os.path.getsize(path) >= need):
                time.sleep(0.1)
        finally:
            t0 = rec.stop()
        det = audio.Detector(audio.read_recording(path))
        press_ms = (pressed - t0) * 1000
        faults, problems, lines = audio.hear(det, ses, hhmm, press_ms, opening_late_ms,
                                             heard_until_ms=len(det.rec) * 1000 / audio.RATE,
                                             device_opens=device_opens, tolerance_ms=audio.LISTENER_MS,
                                             cut_ms=audio.LISTENER_CUT_MS)
        grid = "the hour's tens clip's" if device_opens else "the opening clip's"
        print(f"     announcement {attempt} of {hhmm}, onsets after the key / vs {grid} grid:", flush=True)
        for line in lines:
            print("     " + line, flush=True)
        if faults or problems:
            kept = os.path.join(self.out, f"{self.step_no:02d}-heard-{attempt}.wav")
            os.makedirs(self.out, exist_ok=True)
            shutil.copy(path, kept)
            print(f"     recording: {kept}", flush=True)
        return faults, problems

    def choose_oku(self):
        self.open_popup()
        self.d.keys("Down")
        pressed = time.time()
        self.d.keys("Return")
        poll("the popup menu to close", lambda: not self.d.popups(), timeout=5)
        return pressed

    def oku_command(self, *args):
        """Runs velmora --oku (and args) as a key or a timer would; returns the moment it was started."""
        started = time.time()
        r = subprocess.run([self.program, "--oku", *args], env=self.d.env, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=10)
        self.expect(r.returncode == 0 and not r.stdout and not r.stderr,
                    f"--oku ended with {r.returncode}, printing {(r.stdout + r.stderr)[:200]!r}")
        self.expect(time.time() - started < 1, f"--oku took {time.time() - started:.2f} s to return")
        return started

    def s_oku_running(self):
        # Asked from outside, the clock speaks where it is: unlike a plain second start it stays put.
        dragged = self.drag_away(-220, -120)
        ses = os.path.join(os.path.dirname(self.program), "Ses")
        faults, problems = self.announce_and_hear(ses, "oku", ask=self.oku_command, device_opens=True,
                                                  opening_late_ms=OKU_LATE_MS)
        self.expect(not faults and not problems, "; ".join(faults + problems))
        self.expect(self.clock_pos() == dragged, f"--oku moved the clock from {dragged} to {self.clock_pos()}")
        self.expect(self.d.named("Form1") == [self.clock], f"clock windows: {self.d.named('Form1')}")

    def s_bad_option(self, args, code, says):
        dragged = self.clock_pos()
        r = subprocess.run([self.program, *args], env=self.d.env, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=10)
        out = r.stdout.decode() if code == 0 else r.stderr.decode()
        self.expect(r.returncode == code, f"{' '.join(args)} ended with {r.returncode}")
        self.expect(says in out and (code == 0 or out.count("\n") == 1), f"{' '.join(args)} said {out!r}")
        stays(f"{' '.join(args)} moved the clock", lambda: self.clock_pos() == dragged, 0.5)

    def s_oku_starts_clock(self):
        ses = os.path.join(os.path.dirname(self.program), "Ses")

        def start_and_ask():
            started = time.time()
            self.proc = self.d.spawn([self.program, "--oku"], "velmora")
            return started
        # From a cold start the first clip waits for the window: the check is that every clip comes, whole;
        # the grid of a process still starting is printed, not judged.
        faults, _ = self.announce_and_hear(ses, "oku-start", ask=start_and_ask, device_opens=True,
                                           opening_late_ms=3000)
        self.clock = poll("the clock window (Form1) to be mapped", self.find_clock, timeout=5)
        self.expect(not faults, "; ".join(faults))

    def s_restart_keeps(self):
        data = self.settings_bytes()
        self.start_velmora()
        self.expect(self.settings_bytes() == data, "a normal start changed the settings file")
        want = round(250 / 255 * OPAQUE)
        got = self.d.opacity(self.clock)
        self.expect(got is not None and abs(got - want) <= 1, f"clock opacity {got} after restart, expected {want}")
        self.wait_clock_at(self.corner, "the clock at the corner after restart")
        self.expect_red_on_blue()

    def s_reminder(self):
        self.expect(self.d.pulse is not None, "no sound server to listen to (its step failed)")
        self.expect(os.path.exists(FAKETIME), "libfaketime is missing (scripts/deps.sh test installs it)")
        lines = []
        for line in self.settings_bytes().decode("utf-8").splitlines():
            key = line.split("=", 1)[0]
            lines.append(f"{key}={REMINDER[key]}" if key in REMINDER else line)
        with open(self.d.settings, "wb") as f:
            f.write(("\n".join(lines) + "\n").encode("utf-8"))
        # Something the user types in: the reminder must leave it the keyboard.
        other = self.d.spawn(["xmessage", "-geometry", "+20+20", "typing here"], "xmessage")
        try:
            typing = poll("the other program's window", lambda: self.d.named("xmessage"), timeout=8)[0]
            poll("the other program to become active", lambda: self.d.active() == typing, timeout=5)

            def start():
                env = dict(self.d.env, LD_PRELOAD=FAKETIME, FAKETIME="@" + REMINDER_START,
                           FAKETIME_DONT_FAKE_MONOTONIC="1")
                spawned = time.time()
                self.proc = self.d.spawn([self.program], "velmora-reminder", env=env)
                self.clock = poll("the clock window (Form1) to be mapped", self.find_clock, timeout=20)
                return spawned + REMINDER_LEAD_S, REMINDER["Zaman1"] + ":" + REMINDER["Zaman2"]
            faults, problems = self.announce_and_hear(os.path.join(os.path.dirname(self.program), "Ses"),
                                                      "reminder", clock=lambda: 0.0, device_opens=True,
                                                      ask=start)
            wid = poll("the reminder's window", lambda: self.d.named(REMINDER["Başlık"]), timeout=5)[0]
            self.evidence.append(self.d.screenshot())
            self.expect((self.d.info(wid) or {}).get("map") == "IsViewable", "the reminder's window is not shown")
            self.expect("_NET_WM_STATE_ABOVE" in self.d.states(wid), "the reminder's window is not kept above")
            self.expect(self.d.active() == typing, "the reminder took the focus from the program typed in")
            self.expect(not faults and not problems, "; ".join(faults + problems))
            # "&Tamam" closes it, a click that leaves the keyboard where it was.
            x, y, w, h = self.d.geometry(wid)
            self.d.xdotool("mousemove", x + w // 2, y + h - 8 - 12, "click", 1)
            poll("the reminder's window to close", lambda: not self.d.named(REMINDER["Başlık"]), timeout=5)
        finally:
            other.terminate()
            other.wait(timeout=5)

    def run(self):
        print(f"velmora end-to-end on {self.width}x{self.height}: {self.program}", flush=True)
        try:
            self.step("X server and window manager start", self.d.start, fatal=True)
            print(f"     display {self.d.display}, work folder {self.tmp}", flush=True)
            self.step("a sound server of its own with a null sink for the program", self.d.start_sound)
            self.step("velmora starts and maps its clock", self.start_velmora, fatal=True)
            self.step("first run writes the ten keys in order", self.s_first_run_settings)
            self.step(f"clock is {CLOCK_W}x{CLOCK_H} at (W-133, H-67)", self.s_clock_geometry)
            self.step("clock stays above and has no taskbar entry", self.s_clock_states)
            self.step("screenshot shows green digits on black", self.s_green_on_black)
            self.step("the seconds change three times in 3.9 s", self.s_seconds_change)
            self.step("the separators blink", self.s_separators_blink)
            self.step("left drag moves the clock by exactly (-300, -200)", self.s_left_drag)
            self.step("after the drag the pointer moves freely and a second drag works", self.s_after_drag)
            self.step("a quick flick leaves the clock still once the button is up", self.s_flick)
            self.step("right-button drag does not move the clock", self.s_no_drag, [3], "right-button")
            self.step("left+right drag does not move the clock", self.s_no_drag, [1, 3], "left+right")
            for button, what in ((1, "left"), (3, "right"), (2, "middle")):
                self.step(f"{what} press on the picture opens the popup; Escape changes nothing",
                          self.s_popup_escape, button)
            self.step("closing the stopwatch brings a dragged clock back to the corner",
                      self.s_stopwatch_returns_clock)
            for caption, _ in WINDOWS:
                self.step(f'"{caption}" opens once, below the clock, also when chosen twice or minimised', self.s_window, caption)
            self.step("coming back from a window of the program puts the clock at the corner",
                      self.s_back_from_own_window)
            self.step("coming back from another program leaves the clock where it was dragged",
                      self.s_back_from_other_program)
            self.step("a second start calls the dragged clock back to the corner and ends with 0",
                      self.s_second_start)
            self.step("velmora --oku returns 0 at once, silent; the clock speaks where it is within 300 ms",
                      self.s_oku_running)
            self.step("an unknown option: one line on stderr, status 2, the clock untouched",
                      self.s_bad_option, ["--okuma"], 2, "bilinmeyen seçenek: --okuma")
            self.step("velmora --help: a Turkish usage, status 0, the clock untouched",
                      self.s_bad_option, ["--help"], 0, "Kullanım: velmora [--oku]")
            self.step("colour dialog: confirmed colours stored, clock rebuilt red on blue", self.s_colour_dialog)
            self.step("transparency dialog: live opacity, confirmed value stored and rebuilt",
                      self.s_transparency_dialog)
            self.step('"Çıkış" ends with exit code 0, settings byte-identical', self.s_exit)
            self.step("a restart keeps colours and opacity and writes nothing", self.s_restart_keeps, fatal=True)
            self.step('"Saati Oku..." chosen by keyboard twice speaks the time at 0, 1, 2, 3, 4 s',
                      self.s_time_heard)
            self.step('"Çıkış" after the restart', self.s_exit)
            self.step("velmora --oku with no clock running becomes the clock and speaks", self.s_oku_starts_clock)
            self.step('"Çıkış" of the clock --oku started', self.s_exit)
            self.step("a reminder stored for 13:41 comes at 13:41, above, without the focus, and speaks",
                      self.s_reminder)
            self.step('"Çıkış" after the reminder', self.s_exit)
        except Fatal:
            print("     remaining steps skipped", flush=True)
        finally:
            if self.proc is not None and self.proc.poll() is None:
                self.proc.terminate()
            self.d.stop()
        return self.finish()

    def finish(self):
        return finish_run(self.tmp, self.passed, self.failed)


def main(argv):
    args = [a for a in argv[1:]]
    out = None
    if "--out" in args:
        i = args.index("--out")
        out = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2 or not re.fullmatch(r"\d+x\d+", args[1]):
        print(__doc__, file=sys.stderr)
        return 2
    program = os.path.abspath(args[0])
    width, height = (int(v) for v in args[1].split("x"))
    out = os.path.abspath(out or os.path.join(os.getcwd(), f"e2e-{width}x{height}"))
    shutil.rmtree(out, ignore_errors=True)  # screenshots of an earlier run would mislead
    for tool in ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import", "xmessage"):
        if not shutil.which(tool):
            print(f"missing tool: {tool} (scripts/deps.sh test installs it)", file=sys.stderr)
            return 1
    return Suite(program, width, height, out).run()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
