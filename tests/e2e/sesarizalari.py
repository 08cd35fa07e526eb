#!/usr/bin/env python3
"""Sound faults on the real desktop: the real velmora on an X server of its own (Xvfb + openbox) with a
private PulseAudio server, driven by xdotool, while its sound server or its opening clip misbehaves.

    sesarizalari.py PATH/TO/velmora [--out DIR] [--only NAME]... [--hold S] [--md FILE]

Each case starts the program afresh, brings on its fault and chooses "Saati Oku..." (before, during or
after the announcement, as the case says), then clears the fault and chooses it again, and last brings
the fault back and sends SIGTERM. For each case:
- the longest time the seconds digits stood still, watched from outside through X Damage
  (bench/xdamagelag.c), from the clock's first change to the SIGTERM: at most 1.1 s;
- the announcement after the fault is gone is heard on the null sink (its opening clip and the hour's
  tens clip are found in the recording);
- SIGTERM ends the program within 200 ms, with exit code 0;
- the peak resident memory (VmHWM) stays under 64 MiB.

--hold S waits up to S more seconds for a frozen clock to move again and for the program to end, so
that a stall that lasts longer than the case is measured whole (for figures, not for CI).
--md FILE writes the figures as a Markdown table. The exit code is non-zero when any case failed.
"""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import wave

sys.dont_write_bytecode = True  # no cache folder in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import announcement_audio as audio  # noqa: E402
import masaustu  # noqa: E402
from masaustu import SECONDS, StepFailed, poll  # noqa: E402

try:  # the suite's deadline: a setter once the shared helpers live in a module of their own
    from saatkontrol import set_deadline  # noqa: E402
except ImportError:
    def set_deadline(seconds):
        masaustu.DEADLINE = time.monotonic() + seconds

XDAMAGELAG = os.path.join(HERE, "..", "..", "bench", "xdamagelag.c")

STALL_LIMIT_S = 1.1
SIGTERM_LIMIT_MS = 200
MEMORY_LIMIT_MIB = 64
RUNAWAY_MIB = 1024    # a program past this is killed at once, to spare the machine
HEARD_AFTER_KEY = 2.6  # the later announcement is recorded this long: its opening clip and the hour's tens
EXIT_AFTER_KEY = 0.7   # SIGTERM this long after the key that started the last announcement


# ---------------------------------------------------------------- the faults

class ServerStopped:
    """The sound server stopped (SIGSTOP) and continued."""

    def __init__(self, suite):
        self.s = suite

    def apply(self):
        os.kill(self.s.d.pulse.proc.pid, signal.SIGSTOP)

    def clear(self):
        os.kill(self.s.d.pulse.proc.pid, signal.SIGCONT)


class ServerRestarted:
    """The sound server ended and started again on the same socket; the program's stream is gone."""

    def __init__(self, suite):
        self.s = suite

    def apply(self):
        pulse = self.s.d.pulse
        pulse.stop()
        pulse.start(preexec_fn=masaustu._die_with_parent)
        self.s.d.procs.append(pulse.proc)

    def clear(self):
        pass


HANG_SERVER = r"""
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.bind(sys.argv[1])
s.listen(16)
held = []
while True:
    held.append(s.accept()[0])  # accepted, never read, never answered
"""


class SilentSocket:
    """The program's PULSE_SERVER is a socket that accepts and never answers; cleared, the same path
    leads to the real server."""

    def __init__(self, suite):
        self.s = suite
        self.path = os.path.join(suite.tmp, "hang", "native")
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        self.proc = None

    def env(self):
        return {"PULSE_SERVER": "unix:" + self.path}

    def apply(self):
        if os.path.lexists(self.path):
            os.unlink(self.path)
        self.proc = subprocess.Popen([sys.executable, "-c", HANG_SERVER, self.path],
                                     preexec_fn=masaustu._die_with_parent)
        poll("the silent socket", lambda: os.path.exists(self.path), timeout=5)

    def apply_again(self):
        # The program holds a stream on the real server by now: the server restarts, so that the
        # next clip connects again, into the silent socket.
        self.apply()
        ServerRestarted(self.s).apply()

    def clear(self):
        if self.proc:
            self.proc.kill()
            self.proc.wait()
            self.proc = None
        if os.path.lexists(self.path):
            os.unlink(self.path)
        os.symlink(self.s.d.pulse.env["PULSE_SERVER"][len("unix:"):], self.path)


class OpeningClip:
    """The program's "Saat.wav" replaced by something that is not a clip."""

    def __init__(self, suite, kind):
        self.s, self.kind = suite, kind
        self.path = os.path.join(suite.ses, "Saat.wav")
        self.good = os.path.join(suite.tmp, "Saat.wav.good")
        if not os.path.exists(self.good):
            shutil.copy(self.path, self.good)

    def apply(self):
        os.unlink(self.path)
        if self.kind == "zero":
            os.symlink("/dev/zero", self.path)
        elif self.kind == "fifo":
            os.mkfifo(self.path)  # no writer ever comes
        else:  # 17 KB of the clip's own samples under a header that says 1 Hz
            with wave.open(self.good) as src, wave.open(self.path, "wb") as w:
                w.setnchannels(1)
                w.setsampwidth(2)
                w.setframerate(1)
                w.writeframes(src.readframes(17 * 1024 // 2))

    def clear(self):
        if os.path.lexists(self.path):
            os.unlink(self.path)
        shutil.copy(self.good, self.path)


# (name, fault, when: "before" the key or seconds after it, seconds watched after the key)
# "after": the last clip starts at 4 s; the device closes about 3 s after it ends.
CASES = [
    ("server stopped before", ServerStopped, "before", 4.6),
    ("server stopped during", ServerStopped, 1.3, 4.6),
    ("server stopped after", ServerStopped, 5.0, 9.0),
    ("socket never answers", SilentSocket, "before", 4.6),
    ("server restarted", ServerRestarted, 1.3, 4.6),
    ("clip is /dev/zero", lambda s: OpeningClip(s, "zero"), "before", 4.6),
    ("clip is a FIFO", lambda s: OpeningClip(s, "fifo"), "before", 4.6),
    ("clip header says 1 Hz", lambda s: OpeningClip(s, "lying"), "before", 4.6),
]


# ---------------------------------------------------------------- watching from outside

class SecondsWatch:
    """xdamagelag on the clock's seconds box: the wall-clock times at which the shown second changed."""

    def __init__(self, exe, window, env):
        self.changes = []
        self.proc = subprocess.Popen([exe, hex(window), "3600", *map(str, SECONDS)], env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                     preexec_fn=masaustu._die_with_parent)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            f = line.split()
            if len(f) >= 4 and f[0] == "change":
                # At the server's stamp of the repaint: the probe's own lateness on a busy machine is not
                # the clock's.
                self.changes.append(float(f[1]) - (float(f[2]) - float(f[3])) / 1000)

    def still_for(self):
        """How long the shown second has stood still now."""
        return time.time() - self.changes[-1] if self.changes else None

    def longest_stall(self, until):
        times = self.changes + [until]
        return max(b - a for a, b in zip(times, times[1:])) if len(times) > 1 else None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
        self.proc.wait(timeout=5)
        self.reader.join(timeout=5)


def status_kib(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def pss_kib(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


class RunawayGuard:
    """Kills the program once it holds more than RUNAWAY_MIB: a clip read without bound may take
    gigabytes, which this shared machine should not give."""

    def __init__(self, proc):
        self.proc, self.killed_at = proc, None
        self.stopped = threading.Event()
        threading.Thread(target=self._watch, daemon=True).start()

    def _watch(self):
        while not self.stopped.wait(0.05):
            rss = status_kib(self.proc.pid, "VmRSS")
            if rss is None:
                return
            if rss > RUNAWAY_MIB * 1024:
                self.killed_at = rss
                self.proc.kill()
                return

    def stop(self):
        self.stopped.set()


# ---------------------------------------------------------------- the suite

class Arizalar(masaustu.Suite):
    def __init__(self, program, out, hold):
        super().__init__(program, 1280, 800, out)
        # A work folder under a name of its own: other runs clean up after the suite's.
        shutil.rmtree(self.tmp, ignore_errors=True)
        self.tmp = tempfile.mkdtemp(prefix="velmora-sesarizalari-")
        self.d = masaustu.Desktop(1280, 800, self.tmp)
        self.hold = hold
        self.figures = []
        # A program folder of the test's own, whose clips the cases may spoil.
        folder = os.path.join(self.tmp, "program")
        os.makedirs(folder)
        self.binary = os.path.join(folder, "velmora")
        shutil.copy2(program, self.binary)
        self.clips = os.path.join(os.path.dirname(program), "Ses")
        self.ses = os.path.join(folder, "Ses")
        shutil.copytree(self.clips, self.ses)
        self.lagprobe = None

    def build_probe(self):
        self.lagprobe = os.path.join(self.tmp, "xdamagelag")
        subprocess.run(["cc", "-O2", "-o", self.lagprobe, XDAMAGELAG, "-lX11", "-lXdamage", "-lXfixes"], check=True)

    def choose_announcement(self):
        """Opens the popup on the picture and chooses "Saati Oku..."; returns the time of the Return key."""
        self.open_popup()
        self.d.keys("Down")
        pressed = time.time()
        self.d.keys("Return")
        poll("the popup menu to close", lambda: not self.d.popups(), timeout=3)
        return pressed

    def later_heard(self):
        """Chooses "Saati Oku..." while the null sink is recorded; the opening clip and the hour's tens
        clip must be in the recording."""
        path = os.path.join(self.tmp, f"later-{self.step_no:02d}.wav")
        rec = audio.Recording(self.d.tsrec, path, self.d.env, preexec_fn=masaustu._die_with_parent)
        pressed = None
        try:
            poll("the recorder to start", rec.started, timeout=5)
            pressed = self.choose_announcement()
            time.sleep(max(0.0, pressed + HEARD_AFTER_KEY - time.time()))
        finally:
            t0 = rec.stop()
        hhmm = time.strftime("%H:%M", time.localtime(pressed))
        rows = audio.analyse(audio.read_recording(path), self.clips, hhmm, (pressed - t0) * 1000,
                             first_window_ms=1500)[:2]
        found = [f"{name}.wav {'not heard' if onset is None else f'at {onset:.0f} ms'}"
                 for name, _, onset, *_ in rows]
        heard = all(r[2] is not None for r in rows)
        if not heard:
            os.makedirs(self.out, exist_ok=True)
            shutil.copy(path, os.path.join(self.out, os.path.basename(path)))
        return heard, ", ".join(found)

    def terminate(self):
        """SIGTERM; returns (ms to exit or None, exit code)."""
        limit = max(2.0, self.hold)
        if self.proc.poll() is not None:
            return None, self.proc.returncode
        pidfd = os.pidfd_open(self.proc.pid)
        try:
            sent = time.monotonic()
            os.kill(self.proc.pid, signal.SIGTERM)
            ended = select.select([pidfd], [], [], limit)[0]
            ms = (time.monotonic() - sent) * 1000 if ended else None
        finally:
            os.close(pidfd)
        if ms is None:
            self.proc.kill()
        return ms, self.proc.wait(timeout=10)

    def case(self, name, make_fault, when, watch):
        fault = make_fault(self)
        env = dict(self.d.env)
        env.pop("SDL_AUDIODRIVER", None)  # the program's own choice of output, as a user has it
        if hasattr(fault, "env"):
            env.update(fault.env())
        problems, notes = [], []
        fig = {"case": name}
        self.figures.append(fig)
        self.proc = self.d.spawn([self.binary], "velmora", env=env)
        guard = RunawayGuard(self.proc)
        watch_s = None
        try:
            self.clock = poll("the clock window (Form1) to be mapped", self.find_clock, timeout=20)
            watch_s = SecondsWatch(self.lagprobe, self.clock, self.d.env)
            poll("the seconds to change", lambda: watch_s.changes, timeout=3)

            # The fault, and an announcement into it.
            if when == "before":
                fault.apply()
            try:
                pressed = self.choose_announcement()
            except StepFailed as e:
                problems.append(f"announcement in the fault: {e}")
                pressed = time.time()
            if when != "before":
                time.sleep(max(0.0, pressed + when - time.time()))
                fault.apply()
            time.sleep(max(0.0, pressed + watch - time.time()))
            if self.hold and (watch_s.still_for() or 0) > STALL_LIMIT_S:
                end = time.monotonic() + self.hold
                while time.monotonic() < end and watch_s.still_for() > STALL_LIMIT_S and self.proc.poll() is None:
                    time.sleep(0.1)
            # Gone again: the next announcement is heard.
            fault.clear()
            if self.proc.poll() is None:
                time.sleep(0.3)
                try:
                    heard, what = self.later_heard()
                    fig["heard"] = "yes" if heard else "no"
                    notes.append("later announcement: " + what)
                    if not heard:
                        problems.append("the announcement after the fault was not heard: " + what)
                except StepFailed as e:
                    fig["heard"] = "no"
                    problems.append(f"announcement after the fault: {e}")
            # Back again, with an announcement under way: SIGTERM.
            if self.proc.poll() is None:
                (fault.apply_again if hasattr(fault, "apply_again") else fault.apply)()
                try:
                    pressed = self.choose_announcement()
                    time.sleep(max(0.0, pressed + EXIT_AFTER_KEY - time.time()))
                except StepFailed as e:
                    problems.append(f"announcement before SIGTERM: {e}")
            peak, pss = status_kib(self.proc.pid, "VmHWM"), pss_kib(self.proc.pid)
            killed_at = time.time()
            ended_before = self.proc.poll() is not None
            ms, code = self.terminate()
            guard.stop()
            if ended_before and not guard.killed_at:
                problems.append(f"the program ended by itself before SIGTERM, exit code {code}")
            stall = watch_s.longest_stall(killed_at)
            if guard.killed_at:
                peak = max(peak or 0, guard.killed_at)
                problems.append(f"killed at {guard.killed_at / 1024:.0f} MiB resident")
            fig.update(stall=stall, sigterm_ms=ms, code=code, ended_before=ended_before, peak_mib=peak and peak / 1024,
                       pss_mib=pss and pss / 1024, runaway=bool(guard.killed_at))
            print(f"     longest stall {stall:.2f} s, SIGTERM to exit "
                  + (f"{ms:.0f} ms" if ms is not None else "-" if ended_before else f"> {max(2.0, self.hold):.0f} s (killed)")
                  + f", exit code {code}, peak Rss {fig['peak_mib'] or 0:.1f} MiB, Pss {fig['pss_mib'] or 0:.1f} MiB",
                  flush=True)
            for n in notes:
                print("     " + n, flush=True)
            if stall > STALL_LIMIT_S:
                problems.append(f"the seconds stood still for {stall:.2f} s")
            if not ended_before and (ms is None or ms > SIGTERM_LIMIT_MS):
                problems.append("SIGTERM did not end the program within %d ms (%s)" % (
                    SIGTERM_LIMIT_MS, "not at all" if ms is None else f"{ms:.0f} ms"))
            if code != 0 and not ended_before:
                problems.append(f"exit code {code} after SIGTERM")
            if peak is None or peak > MEMORY_LIMIT_MIB * 1024:
                problems.append(f"peak resident memory {(peak or 0) / 1024:.1f} MiB")
        finally:
            guard.stop()
            if self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            if watch_s:
                watch_s.stop()
            fault.clear()
        if problems:
            raise StepFailed("; ".join(problems))

    def run_cases(self, only):
        print(f"velmora sound faults: {self.program}", flush=True)
        cases = [c for c in CASES if not only or c[0] in only]
        set_deadline(60 + sum(c[3] + 12 + 2 * self.hold for c in cases))
        try:
            self.step("X server and window manager start", self.d.start, fatal=True)
            self.step("a sound server of its own with a null sink", self.d.start_sound, fatal=True)
            self.build_probe()
            for name, make, when, watch in cases:
                self.step(name, self.case, name, make, when, watch)
        except masaustu.Fatal:
            print("     remaining cases skipped", flush=True)
        finally:
            if self.proc is not None and self.proc.poll() is None:
                self.proc.kill()
            if self.d.pulse and self.d.pulse.proc and self.d.pulse.proc.poll() is None:
                os.kill(self.d.pulse.proc.pid, signal.SIGCONT)
            self.d.stop()
        return self.finish()

    def markdown(self):
        lines = ["| fault | longest stall (s) | SIGTERM to exit (ms) | peak Rss (MiB) | Pss at SIGTERM (MiB) "
                 "| later announcement heard |", "|---|---:|---:|---:|---:|---|"]
        for f in self.figures:
            if "stall" not in f:
                lines.append(f"| {f['case']} | — | — | — | — | — |")
                continue
            if f["ended_before"]:
                term = "— (ended before)"
            elif f["sigterm_ms"] is not None:
                term = f"{f['sigterm_ms']:.0f}"
            else:
                term = f"> {max(2.0, self.hold) * 1000:.0f} (killed)"
            if f["code"] != 0 and not f["ended_before"]:
                term += f", exit {f['code']}"
            peak = f"> {RUNAWAY_MIB} (killed)" if f["runaway"] else f"{f['peak_mib']:.1f}"
            lines.append(f"| {f['case']} | {f['stall']:.2f} | {term} | {peak} | {f['pss_mib'] or 0:.1f} "
                         f"| {f.get('heard', '—')} |")
        return "\n".join(lines)


def main(argv):
    args = argv[1:]
    opts = {"--out": None, "--hold": "0", "--md": None}
    only = []
    rest = []
    i = 0
    while i < len(args):
        if args[i] in opts and i + 1 < len(args):
            opts[args[i]] = args[i + 1]
            i += 2
        elif args[i] == "--only" and i + 1 < len(args):
            only.append(args[i + 1])
            i += 2
        else:
            rest.append(args[i])
            i += 1
    if len(rest) != 1 or any(o not in [c[0] for c in CASES] for o in only):
        print(__doc__, file=sys.stderr)
        print("cases: " + ", ".join(c[0] for c in CASES), file=sys.stderr)
        return 2
    for tool in ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "pulseaudio", "pactl", "cc"):
        if not shutil.which(tool):
            print(f"missing tool: {tool} (scripts/deps.sh test installs it)", file=sys.stderr)
            return 1
    program = os.path.abspath(rest[0])
    out = os.path.abspath(opts["--out"] or os.path.join(os.getcwd(), "e2e-sesarizalari"))
    shutil.rmtree(out, ignore_errors=True)
    suite = Arizalar(program, out, float(opts["--hold"]))
    rc = suite.run_cases(only)
    table = suite.markdown()
    print(table)
    if opts["--md"]:
        with open(opts["--md"], "w") as f:
            f.write(table + "\n")
    return rc


if __name__ == "__main__":
    sys.exit(main(sys.argv))
