#!/usr/bin/env python3
"""Speaks the time through a private sound server's null sink, records the sink in 10 ms fragments
and prints each clip's onset against the 1000 ms grid of the play calls and of the opening clip.

    tools/measure-announcement.py BUILD_DIR [--runs N] [--cold] [--warm] [--check] [--server S]
    tools/measure-announcement.py BUILD_DIR --key [--runs N] [--server S]
    tools/measure-announcement.py BUILD_DIR --selftest

--cold measures the first announcement after the device was opened, --warm one spoken 5.5 s after a
first one while the device is still open (both by default). With --check it exits non-zero unless
every warm announcement has every clip heard in full, each onset within 30 ms of its slot on the grid
of the opening clip and at most 60 ms after its own play call.
--server chooses the sound server: pulseaudio (default), pipewire-pulse (PipeWire with its PulseAudio
service) or pipewire (PipeWire alone, recorded with pw-record); the program picks its output itself.
--key drives the real velmora instead, on an X server of its own (Xvfb + openbox): "Saati Oku..." is
chosen from the popup menu with the Return key (sent through XTest, its moment taken when the server
has it), once in a freshly started program (cold) and again 6 s later (warm); it prints the opening
clip's onset after the key and every clip against the opening clip's grid, and a summary per kind.
--selftest builds recordings from the clips at known offsets and checks the detector on them.
Needs pulseaudio, libpulse-dev and a C compiler (scripts/deps.sh test installs them); --server
pipewire* needs pipewire, wireplumber, pipewire-pulse and dbus-daemon (scripts/deps.sh bench)."""
import array, math, os, random, subprocess, sys, tempfile, time, wave

sys.dont_write_bytecode = True  # no cache folder in the source tree
from announcement_audio import *  # the detector, the sound server and the recorder
from announcement_audio import PrivatePulse, Recording, build_tsrec, read_clips
import sound_servers

# --- self-test on synthetic recordings ---------------------------------------------------------------

def synth(ses_dir, placements, total_ms, seed):
    """A 44100 Hz stereo recording with the clips at the given onsets (ms, fractional allowed), each
    cut by the next one as the one-channel player does, with a gain and a little noise. A placement may
    carry a dropout (ms into the clip, ms of silence) that delays the rest of that clip."""
    rnd = random.Random(seed)
    n = int(total_ms * 44.1)
    out = [rnd.gauss(0.0, 3.0) for _ in range(n)]
    for i, (name, at_ms, *dropout) in enumerate(placements):
        clip = read_clip(os.path.join(ses_dir, name + ".wav"))
        if dropout and dropout[0]:
            k = int(dropout[0][0] * RATE / 1000)
            clip = clip[:k] + [0.0] * int(dropout[0][1] * RATE / 1000) + clip[k:]
        end = int(placements[i + 1][1] * 44.1) if i + 1 < len(placements) else n
        start = at_ms * 44.1
        k0 = int(math.ceil(start))
        for k in range(k0, min(end, n)):
            # Linear interpolation up to 44100 Hz, at a sub-sample offset: not the server's resampler.
            p = (k - start) / 2.0
            j = int(p)
            if j + 1 >= len(clip):
                break
            out[k] += 0.8 * (clip[j] + (clip[j + 1] - clip[j]) * (p - j))
    pcm = array.array("h", (max(-32768, min(32767, int(round(x)))) for x in out for _ in (0, 1)))
    return pcm


def write_wav(path, pcm):
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(pcm.tobytes())


def selftest(build):
    ses = os.path.join(build, "bin", "Ses")
    tmp = tempfile.mkdtemp(prefix="velmora-detector-")
    failures = 0
    # (time, call, onset of each clip after its slot in ms: None = not played, clips to leave out)
    # (title, time, call, onset of each clip after its slot in ms or None = not played, verdict)
    cases = [
        ("14:35 on time", "14:35", 700.0, [6.3, 7.1, 5.9, 6.6, 8.2], True),
        ("12:12 same clips twice", "12:12", 500.0, [11.7, 12.4, 10.2, 13.9, 12.0], True),
        ("23:59 late opening cut by the next", "23:59", 400.0, [880.4, 9.0, 9.5, 8.7, 10.1], False),
        ("00:00 opening late by 0.6 s", "00:00", 300.0, [612.25, 4.4, 4.0, 4.9, 4.1], False),
        ("20:40 no units clips", "20:40", 600.0, [20.6, 19.8, 21.3], True),
        ("07:08 fifth clip missing", "07:08", 350.0, [5.0, 5.5, 4.5, 6.0, None], False),
        ("10:10 drifting 25 ms", "10:10", 450.0, [2.0, 27.0, -3.0], True),
        ("15:05 one clip 35 ms late", "15:05", 650.0, [8.0, 9.0, 43.0, 8.5, 9.5], False),
        # A dropout of the sound server stretched the last clip: its opening alone matched it worse
        # than the opening of "1" did, and the check said "1" had been spoken.
        ("06:07 dropout in the opening of 7", "06:07", 550.0, [3.0, 1.0, -1.0, -3.0, -5.0], True,
         {"dropout": {4: (95.0, 25.0)}}),
        ("21:47 dropouts in three clips", "21:47", 420.0, [9.0, 11.5, 8.0, 10.0, 12.5], True,
         {"dropout": {1: (180.0, 12.0), 3: (150.0, 30.0), 4: (260.0, 8.0)}}),
        ("17:57 1 spoken for 7", "17:57", 480.0, [5.0, 6.0, 5.5, 6.5, 5.0], False,
         {"play": {2: "1", 4: "1"}}),
    ]
    for i, (title, hhmm, call, delays, within, *extra) in enumerate(cases):
        extra = extra[0] if extra else {}
        dropouts, played_instead = extra.get("dropout", {}), extra.get("play", {})
        clips = clip_names(hhmm)
        assert len(clips) == len(delays), title
        placed = [(played_instead.get(k, name), call + slot + d, dropouts.get(k))
                  for k, ((name, slot), d) in enumerate(zip(clips, delays)) if d is not None]
        path = os.path.join(tmp, "synth%d.wav" % i)
        write_wav(path, synth(ses, placed, call + 6000, seed=i))
        rows = analyse(read_recording(path), ses, hhmm, call)
        print_table("synthetic %s (call at %.1f ms)" % (title, call), rows)
        if verdict(rows) != within:
            print("  FAIL: the verdict should be %s" % ("within tolerance" if within else "out of tolerance"))
            failures += 1
        onsets = [None if d is None else slot + d for (_, slot), d in zip(clips, delays)]
        det = Detector(read_recording(path))
        for k, ((name, slot, onset, egrid, efirst, heard, length, score), d, nxt) in enumerate(zip(
                rows, delays, onsets[1:] + [None])):
            if k in played_instead:
                # The clip that was played instead is the one named there.
                lo = int((call + slot + d - 50) * RATE / 1000)
                got = det.identify(read_clips(ses), lo, lo + RATE // 10)[0]
                if onset is not None or got != played_instead[k]:
                    print("  FAIL %s: %s.wav was played there, found %s and %s.wav" % (
                        name, played_instead[k], "it" if onset is not None else "not it", got))
                    failures += 1
                continue
            if d is None:
                if onset is not None:
                    print("  FAIL %s: found a clip that was not played" % name)
                    failures += 1
                continue
            if onset is None or abs(onset - slot - d) > 2.0:
                print("  FAIL %s: placed %+.2f ms after its slot, found %s" % (name, d, egrid))
                failures += 1
                continue
            # A clip plays until its end or until the next clip's onset.
            played = length if nxt is None else min(length, nxt - slot - d)
            if k in dropouts and nxt is not None and slot + d + length + dropouts[k][1] > nxt:
                played = length - dropouts[k][1]
            if abs(heard - played) > 15.0:
                print("  FAIL %s: played %.0f ms, detector says %.0f ms heard" % (name, played, heard))
                failures += 1
    print("self-test: %s" % ("detector finds every placed clip within 2 ms" if not failures
                             else "%d FAILURES" % failures))
    return 1 if failures else 0


# --- the real measurement ----------------------------------------------------------------------------

def wait_for_quiet_minute(seconds_needed):
    """The clips read the clock at their ticks; an announcement that crosses a minute (or hour) would
    speak a different time than the one printed at its start."""
    sec = time.time() % 60
    if sec + seconds_needed > 59:
        time.sleep(60.5 - sec)


def record_once(build, env, tmp, recording, warm, idx):
    speak = os.path.join(build, "bin", "velmora_speak")
    out = os.path.join(tmp, "rec%d.wav" % idx)
    rec = recording(out)
    time.sleep(0.5)
    args = [speak] + (["--warm"] if warm else []) + ["5500"]
    spoken = subprocess.run(args, env=env, capture_output=True, text=True, check=True)
    t0 = rec.stop()
    starts, plays = [], []
    for l in spoken.stdout.splitlines():
        f = l.split()
        if f and f[0] == "start":
            starts.append((float(f[1]), f[2], f[3]))
        elif f and f[0] == "play":
            plays.append(float(f[1]))
    # Each announcement's own play calls: from its start (printed just after its opening call, in the
    # same millisecond) up to the next start.
    bounds = [st[0] - 0.0015 for st in starts] + [float("inf")]
    starts = [st + ([p for p in plays if bounds[k] <= p < bounds[k + 1]],) for k, st in enumerate(starts)]
    return out, t0, starts


# --- the real program, chosen by key -----------------------------------------------------------------

KEY_WARM_AFTER = 6.0  # the warm announcement's key, after the cold one's: the device is still open
KEY_HEARD = 5.6       # each recording runs this long after its key: the last clip starts at 4 s
PICTURE = (126, 16)   # the clock's picture, which opens the popup menu


class XTestKeys:
    """Keys sent through XTest on a connection of our own; the moment of a key is when the X server
    has taken it (after XSync), not when a helper process got round to sending it."""

    def __init__(self, display):
        import ctypes
        self.x = x = ctypes.CDLL("libX11.so.6")
        self.t = t = ctypes.CDLL("libXtst.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XStringToKeysym.restype = ctypes.c_ulong
        x.XStringToKeysym.argtypes = [ctypes.c_char_p]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        t.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
        self.dpy = x.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open " + display)

    def press(self, name):
        """Presses and releases the key; returns the wall-clock time at which the server had the press."""
        code = self.x.XKeysymToKeycode(self.dpy, self.x.XStringToKeysym(name.encode()))
        self.t.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.x.XSync(self.dpy, 0)
        at = time.time()
        self.t.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self.x.XSync(self.dpy, 0)
        return at

    def close(self):
        self.x.XCloseDisplay(self.dpy)


def key_runs(build, server_name, runs):
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
    from masaustu import Desktop  # the end-to-end suite's X server and window manager
    program = os.path.join(build, "bin", "velmora")
    ses = os.path.join(build, "bin", "Ses")
    tmp = tempfile.mkdtemp(prefix="velmora-key-")
    os.chmod(tmp, 0o700)
    desk = Desktop(1280, 800, tmp)
    server, keys, results = None, None, []
    print("server %s, program %s; %s" % (server_name, program, os.popen("uptime").read().strip()))
    try:
        desk.start()
        server = sound_servers.start_server(server_name, os.path.join(tmp, "sound"), desk.env)
        keys = XTestKeys(desk.env["DISPLAY"])
        for run in range(runs):
            proc = desk.spawn([program], "velmora", env=server.env)
            try:
                clock = wait_until("the clock", lambda: [w for w in desk.named("Form1")
                                                         if (desk.info(w) or {}).get("map") == "IsViewable"], 20)[0]
                time.sleep(1.0)
                wait_for_quiet_minute(KEY_WARM_AFTER + KEY_HEARD + 2)
                not_before = 0.0
                for label in ("cold", "warm"):
                    try:
                        pressed, hhmm, rows, path = key_announcement(
                            desk, keys, server, clock, ses, os.path.join(tmp, "%s%d.wav" % (label, run)), not_before)
                    except (RuntimeError, OSError, subprocess.SubprocessError) as e:
                        print("run %d, %s announcement: not measured (%s)" % (run + 1, label, e))
                        continue
                    not_before = pressed + KEY_WARM_AFTER
                    print_table("run %d, %s announcement of %s after the Return key (%s)" % (
                        run + 1, label, hhmm, path), rows)
                    results.append((label, rows))
                    sys.stdout.flush()
            finally:
                proc.terminate()
                proc.wait(timeout=10)
    finally:
        if keys:
            keys.close()
        if server:
            server.stop()
        desk.stop()
    print("uptime after: " + os.popen("uptime").read().strip())
    summary = []
    for label in ("cold", "warm"):
        got = [rows for l, rows in results if l == label]
        firsts = [rows[0][2] for rows in got if rows and rows[0][2] is not None]
        grid = [abs(r[4]) for rows in got for r in rows[1:] if r[4] is not None]
        missing = sum(1 for rows in got for r in rows if r[2] is None)
        print("%s, %s: %d announcements; first clip after the key median %s, max %s ms; every later clip vs the "
              "opening clip's grid worst %s ms%s" % (
                  server_name, label, len(got), fmt_ms(median(firsts)), fmt_ms(max(firsts, default=None)),
                  fmt_ms(max(grid, default=None)), ", %d clips not heard" % missing if missing else ""))
        summary.append((median(firsts), max(firsts, default=None), max(grid, default=None), missing))
    (c1, c2, cg, cm), (w1, w2, wg, wm) = summary
    print("| %s | %s / %s | %s%s | %s / %s | %s%s |" % (
        server_name, fmt_ms(c1), fmt_ms(c2), fmt_ms(cg), " (%d not heard)" % cm if cm else "",
        fmt_ms(w1), fmt_ms(w2), fmt_ms(wg), " (%d not heard)" % wm if wm else ""))
    ok = all(m == 0 and g is not None and g <= 5 and f is not None and f <= 50 for _, f, g, m in summary)
    return 0 if ok else 1


def key_announcement(desk, keys, server, clock, ses, path, not_before=0.0):
    """Chooses "Saati Oku..." by key while the sink is recorded; (key time, HH:MM, rows, path)."""
    rec = server.recording(path)
    try:
        wait_until("the recorder", rec.started, 5)
        time.sleep(max(0.0, not_before - time.time()))
        desk.xdotool("mousemove", "--window", str(clock), *PICTURE, "mousedown", 1)
        try:
            wait_until("the popup menu", desk.popups, 5)
        finally:
            desk.xdotool("mouseup", 1)
        keys.press("Down")
        time.sleep(0.1)
        pressed = keys.press("Return")
        time.sleep(max(0.0, pressed + KEY_HEARD - time.time()))
    finally:
        t0 = rec.stop()
    hhmm = time.strftime("%H:%M", time.localtime(pressed))
    return pressed, hhmm, analyse(read_recording(path), ses, hhmm, (pressed - t0) * 1000.0, first_window_ms=1500), path


def wait_until(what, cond, timeout):
    end = time.monotonic() + timeout
    while True:
        got = cond()
        if got:
            return got
        if time.monotonic() > end:
            raise RuntimeError("timed out waiting for " + what)
        time.sleep(0.02)


def median(xs):
    xs = sorted(xs)
    return None if not xs else (xs[len(xs) // 2] if len(xs) % 2 else (xs[len(xs) // 2 - 1] + xs[len(xs) // 2]) / 2)


def fmt_ms(x):
    return "-" if x is None else "%.1f" % x


def main():
    args = sys.argv[1:]
    if not args or args[0].startswith("-"):
        print(__doc__)
        return 2
    build = os.path.abspath(args[0])
    if "--selftest" in args:
        return selftest(build)
    check = "--check" in args
    runs = int(args[args.index("--runs") + 1]) if "--runs" in args else 1
    modes = [m for m in ("cold", "warm") if "--" + m in args] or ["cold", "warm"]
    server_name = args[args.index("--server") + 1] if "--server" in args else None
    if "--key" in args:
        return key_runs(build, server_name or "pulseaudio", runs)
    ses = os.path.join(build, "bin", "Ses")
    tmp = tempfile.mkdtemp(prefix="velmora-sound-")
    base = dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, QT_QPA_PLATFORM="offscreen")
    results = []
    server = None
    try:
        try:
            if server_name:
                server = sound_servers.start_server(server_name, tmp, base)
                env, recording = dict(server.env, QT_QPA_PLATFORM="offscreen"), server.recording
            else:
                server = PrivatePulse(tmp, base)
                server.start()
                env, tsrec = server.env, build_tsrec(tmp)
                recording = lambda path: Recording(tsrec, path, env)
        except RuntimeError as e:
            print(e)
            return 1
        idx = 0
        for run in range(runs):
            for mode in modes:
                warm = mode == "warm"
                wait_for_quiet_minute(13 if warm else 7)
                out, t0, starts = record_once(build, env, tmp, recording, warm, idx)
                idx += 1
                rec = Detector(read_recording(out))
                for start, hhmm, label, plays in starts:
                    call = (start - t0) * 1000.0
                    calls = [(p - start) * 1000.0 for p in plays]
                    rows = analyse(rec, ses, hhmm, call)
                    print_table("run %d, %s announcement of %s (%s, first call at %.1f ms)" % (
                        run + 1, label, hhmm, out, call), rows, calls)
                    print("  -> --check: %s" % ("passes" if check_verdict(rows, calls) else "FAILS"))
                    results.append((label, rows, calls))
                    sys.stdout.flush()
    finally:
        if server:
            server.stop()
    for label in ("cold", "warmup", "warm"):
        got = [(verdict(r), check_verdict(r, c)) for l, r, c in results if l == label]
        if got:
            print("%s: %d of %d announcements within %d ms of the call grid and the opening grid, "
                  "%d pass --check" % (label, sum(a for a, _ in got), len(got), TOLERANCE_MS, sum(b for _, b in got)))
    warm = [check_verdict(r, c) for l, r, c in results if l == "warm"]
    ok = bool(warm) and all(warm)
    return 0 if (ok or not check) else 1


if __name__ == "__main__":
    sys.exit(main())
