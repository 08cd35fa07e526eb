#!/usr/bin/env python3
"""Speaks the time through a private PulseAudio null sink, records the sink in 10 ms fragments
and prints each clip's onset against the 1000 ms grid of the play calls.

    tools/measure-announcement.py BUILD_DIR [--runs N] [--cold] [--warm] [--check]
    tools/measure-announcement.py BUILD_DIR --selftest

--cold measures the first announcement after the device was opened, --warm one spoken 5.5 s after a
first one while the device is still open (both by default). With --check it exits non-zero unless
every warm announcement has every clip heard in full, each onset within 30 ms of its slot on the grid
of the opening clip and at most 60 ms after its own play call.
--selftest builds recordings from the clips at known offsets and checks the detector on them.
Needs pulseaudio, libpulse-dev and a C compiler (scripts/deps.sh test installs them)."""
import array, math, os, random, signal, subprocess, sys, tempfile, time, wave
from operator import mul

here = os.path.dirname(os.path.abspath(__file__))
tsrec_src = os.path.join(here, "..", "..", "shared", "tools", "tsrec.c")

RATE = 22050           # the clips' rate; the recording is brought down to it
TEMPLATE_MS = 120      # a clip is found by its opening (reaching into the first vowel), so that a cut clip is still found
# Normalised correlation of a clip's opening with the recording. The clip itself scores above 0.95; the
# same voice one pitch period off scores up to about 0.75, so the first lag above the threshold may be
# a period early and the best match is taken from the stretch that follows it.
MATCH = 0.7
REFINE_MS = 40
STRONG_RMS = 1000      # a 10 ms block of a clip loud enough to say whether the recording holds it
TOLERANCE_MS = 30
PATH_MS = 60           # --check: from a play call to its clip's onset in the recording


def clip_names(hhmm):
    """The clips of an announcement with the slot each one starts in."""
    h, m = (int(x) for x in hhmm.split(":"))
    clips = [("Saat", 0)]
    for v, tens_slot in ((h, 1000), (m, 3000)):
        clips.append((str(v // 10 * 10), tens_slot))
        if v < 10 or v % 10 != 0:
            clips.append((str(v % 10), tens_slot + 1000))
    return clips


def smooth(x, n=5):
    """A running mean, applied alike to clip and recording. The server's resampler does not keep the
    hiss of "saat", "sıfır" and "sekiz" sample for sample, so the match rests on the voice below 4 kHz."""
    out, acc = [], 0.0
    for i, v in enumerate(x):
        acc += v
        if i >= n:
            acc -= x[i - n]
        out.append(acc / n)
    return out


def read_clip(path):
    with wave.open(path) as w:
        if (w.getframerate(), w.getnchannels(), w.getsampwidth()) != (RATE, 1, 2):
            raise SystemExit("%s: expected %d Hz mono 16-bit" % (path, RATE))
        a = array.array("h", w.readframes(w.getnframes()))
    return smooth([float(x) for x in a])


def read_recording(path):
    """The recording (44100 Hz stereo from tsrec) as mono at the clips' rate. The server's resampler
    has already band-limited the clips, so plain decimation keeps them intact."""
    with wave.open(path) as w:
        rate, ch = w.getframerate(), w.getnchannels()
        a = array.array("h", w.readframes(w.getnframes()))
    step = rate // RATE
    if step * RATE != rate:
        raise SystemExit("%s: rate %d is not a multiple of %d" % (path, rate, RATE))
    frame = ch * step
    return smooth([float(sum(a[i:i + ch])) / ch for i in range(0, len(a) - frame + 1, frame)])


class Detector:
    def __init__(self, rec):
        self.rec = rec
        self.sq = [0.0]
        acc = 0.0
        for x in rec:
            acc += x * x
            self.sq.append(acc)

    def energy(self, a, n):
        return self.sq[a + n] - self.sq[a]

    def score(self, tpl, tnorm, lag):
        n = len(tpl)
        e = self.energy(lag, n)
        if e <= n * 4.0:  # silence (rms under 2 LSB) matches nothing
            return 0.0
        return sum(map(mul, tpl, self.rec[lag:lag + n])) / (tnorm * math.sqrt(e))

    def find(self, clip, lo, hi):
        """The first place in [lo, hi) samples where the clip's opening matches, refined to the
        best match close by. Returns (sample, score) or (None, best score seen)."""
        tpl = clip[:RATE * TEMPLATE_MS // 1000]
        tnorm = math.sqrt(sum(x * x for x in tpl)) or 1.0
        lo, hi = max(0, lo), min(len(self.rec) - len(tpl), hi)
        best = 0.0
        for lag in range(lo, hi):
            s = self.score(tpl, tnorm, lag)
            if s >= MATCH:
                # Pitch-period echoes rise towards the true match: look on until none better has
                # come for REFINE_MS.
                at, top = lag, s
                span = RATE * REFINE_MS // 1000
                k = lag + 1
                while k < min(hi, at + span):
                    sk = self.score(tpl, tnorm, k)
                    if sk > top:
                        at, top = k, sk
                    k += 1
                return at, top
            best = max(best, s)
        return None, best

    def heard_ms(self, clip, at):
        """How much of the clip the recording holds from its onset on: the end of the last 10 ms block
        that matches the clip, stopping at the first one that does not. Blocks too quiet to tell
        (pauses, and hiss after the smoothing) neither count nor stop it."""
        block = RATE // 100
        heard = 0
        for b in range(0, len(clip) - block + 1, block):
            seg = clip[b:b + block]
            segn = math.sqrt(sum(x * x for x in seg))
            if segn < STRONG_RMS * math.sqrt(block):
                continue
            if at + b + block > len(self.rec):
                break
            e = self.energy(at + b, block)
            if e <= 0 or sum(map(mul, seg, self.rec[at + b:at + b + block])) / (segn * math.sqrt(e)) < 0.5:
                break
            heard = b + block
        return heard * 1000.0 / RATE


def audible_ms(clip):
    """Where the clip's last block loud enough for heard_ms ends: what a clip heard in full reaches."""
    block = RATE // 100
    end = 0
    for b in range(0, len(clip) - block + 1, block):
        if math.sqrt(sum(x * x for x in clip[b:b + block]) / block) >= STRONG_RMS:
            end = b + block
    return end * 1000.0 / RATE


def analyse(rec, ses_dir, hhmm, call_ms, first_window_ms=2500):
    """Finds the announcement of hhmm whose first play call was at call_ms (recording time).
    Returns rows (name, slot, onset after the first call, error vs the call grid, error vs the opening
    clip's grid, heard, full, score)."""
    det = rec if isinstance(rec, Detector) else Detector(rec)
    rows, first, floor = [], None, 0
    clips = clip_names(hhmm)
    for name, slot in clips:
        clip = read_clip(os.path.join(ses_dir, name + ".wav"))
        expect = call_ms + slot
        # The first clip may be late by the server's start-up; each later one is looked for from just
        # before its slot, never at or before the clip ahead of it.
        lo = max(floor, int((expect - 50) * RATE / 1000))
        hi = int((expect + (first_window_ms if first is None else 500)) * RATE / 1000)
        at, score = det.find(clip, lo, hi)
        length = audible_ms(clip)
        if at is None:
            rows.append((name, slot, None, None, None, 0.0, length, score))
            continue
        onset = at * 1000.0 / RATE - call_ms
        if first is None:
            first = onset - slot
        rows.append((name, slot, onset, onset - slot, onset - slot - first, det.heard_ms(clip, at), length, score))
        floor = at + RATE // 20
    return rows


def verdict(rows, calls=None):
    """Every clip found and heard to its end, each onset within TOLERANCE_MS of its slot on the grid of
    the first play call and on the grid of the opening clip's own onset."""
    for name, slot, onset, egrid, efirst, heard, length, score in rows:
        if onset is None or heard < length or abs(egrid) > TOLERANCE_MS or abs(efirst) > TOLERANCE_MS:
            return False
    return True


def check_verdict(rows, calls):
    """What --check holds a warm announcement to. The grid of the opening clip is what a listener hears;
    the recorder's time of sample 0 (against which the call grid is drawn) is only good to a few ms,
    so against the play calls only a sound path of at most PATH_MS is required (the calls are printed in
    whole milliseconds, hence the 2 ms allowed before one)."""
    if len(calls) != len(rows):
        return False
    for (name, slot, onset, egrid, efirst, heard, length, score), call in zip(rows, calls):
        if onset is None or heard < length or abs(efirst) > TOLERANCE_MS or not -2 <= onset - call <= PATH_MS:
            return False
    return True


def print_table(title, rows, calls=None):
    """calls: each clip's own play call in ms after the first one, when known."""
    print(title)
    print("  %-9s %6s %9s %10s %9s %10s %9s %11s %14s %6s" % (
        "clip", "slot", "call", "call err", "onset", "after call", "vs grid", "vs opening", "heard/full ms",
        "match"))
    for i, (name, slot, onset, egrid, efirst, heard, length, score) in enumerate(rows):
        call = calls[i] if calls and i < len(calls) else None
        c = ("%9.1f %+10.1f" % (call, call - slot)) if call is not None else "%9s %10s" % ("-", "-")
        if onset is None:
            print("  %-9s %6d %s %9s" % (name + ".wav", slot, c, "NOT HEARD"))
        else:
            path = "%10.1f" % (onset - call) if call is not None else "%10s" % "-"
            print("  %-9s %6d %s %9.1f %s %+9.1f %+11.1f %6.0f/%-7.0f %6.3f" % (
                name + ".wav", slot, c, onset, path, egrid, efirst, heard, length, score))
    print("  -> %s" % ("every clip heard, each within %d ms of its slot" % TOLERANCE_MS if verdict(rows)
                       else "OUT OF TOLERANCE"))


# --- self-test on synthetic recordings ---------------------------------------------------------------

def synth(ses_dir, placements, total_ms, seed):
    """A 44100 Hz stereo recording with the clips at the given onsets (ms, fractional allowed), each
    cut by the next one as the one-channel player does, with a gain and a little noise."""
    rnd = random.Random(seed)
    n = int(total_ms * 44.1)
    out = [rnd.gauss(0.0, 3.0) for _ in range(n)]
    for i, (name, at_ms) in enumerate(placements):
        clip = read_clip(os.path.join(ses_dir, name + ".wav"))
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
    ]
    for i, (title, hhmm, call, delays, within) in enumerate(cases):
        clips = clip_names(hhmm)
        assert len(clips) == len(delays), title
        placed = [(name, call + slot + d) for (name, slot), d in zip(clips, delays) if d is not None]
        path = os.path.join(tmp, "synth%d.wav" % i)
        write_wav(path, synth(ses, placed, call + 6000, seed=i))
        rows = analyse(read_recording(path), ses, hhmm, call)
        print_table("synthetic %s (call at %.1f ms)" % (title, call), rows)
        if verdict(rows) != within:
            print("  FAIL: the verdict should be %s" % ("within tolerance" if within else "out of tolerance"))
            failures += 1
        onsets = [None if d is None else slot + d for (_, slot), d in zip(clips, delays)]
        for (name, slot, onset, egrid, efirst, heard, length, score), d, nxt in zip(
                rows, delays, onsets[1:] + [None]):
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


def record_once(build, env, tmp, tsrec, warm, idx):
    speak = os.path.join(build, "bin", "velmora_speak")
    out = os.path.join(tmp, "rec%d.wav" % idx)
    rec = subprocess.Popen([tsrec, out, "vbcap.monitor"], env=env)
    time.sleep(0.5)
    args = [speak] + (["--warm"] if warm else []) + ["5500"]
    spoken = subprocess.run(args, env=env, capture_output=True, text=True, check=True)
    rec.send_signal(signal.SIGINT)
    rec.wait(timeout=10)
    t0 = float(open(out + ".t0").read().split()[0])
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
    ses = os.path.join(build, "bin", "Ses")
    tmp = tempfile.mkdtemp(prefix="velmora-sound-")
    env = dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, PULSE_RUNTIME_PATH=os.path.join(tmp, "pulse"),
               PULSE_SERVER="unix:" + os.path.join(tmp, "native"), QT_QPA_PLATFORM="offscreen",
               SDL_AUDIODRIVER="pulseaudio")
    tsrec = os.path.join(tmp, "tsrec")
    subprocess.run(["cc", "-O2", "-o", tsrec, tsrec_src, "-lpulse-simple", "-lpulse"], check=True)
    pa = subprocess.Popen(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                           "--use-pid-file=no", "--disallow-exit",
                           # With rewinds, a stream joining the sink was heard up to 2 s late and its
                           # first clip cut by the next; a sound card plays it at once.
                           "-L", "module-null-sink sink_name=vbcap rate=44100 norewinds=1",
                           "-L", "module-native-protocol-unix socket=%s/native auth-anonymous=1" % tmp],
                          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    results = []
    try:
        for _ in range(100):
            if subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.05)
        else:
            print("pulseaudio did not start")
            return 1
        subprocess.run(["pactl", "set-default-sink", "vbcap"], env=env, check=True)
        idx = 0
        for run in range(runs):
            for mode in modes:
                warm = mode == "warm"
                wait_for_quiet_minute(13 if warm else 7)
                out, t0, starts = record_once(build, env, tmp, tsrec, warm, idx)
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
        pa.terminate()
        pa.wait(timeout=10)
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
