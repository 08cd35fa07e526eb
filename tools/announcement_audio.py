"""Hearing the announcement: a private PulseAudio server with a null sink, a recorder of that sink in
10 ms fragments (tsrec.c) and the onset detector that finds each clip in the recording.
Shared by tools/measure-announcement.py and the end-to-end suite (tests/e2e/masaustu.py)."""
import array, math, os, signal, subprocess, tempfile, time, wave
from operator import mul

here = os.path.dirname(os.path.abspath(__file__))
# Our own recorder, kept beside this script; a checkout beside the shared folder may still use that one.
tsrec_src = next((p for p in (os.path.join(here, "tsrec.c"), os.path.join(here, "..", "..", "shared", "tools", "tsrec.c"))
                  if os.path.exists(p)), os.path.join(here, "tsrec.c"))

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



# --- the sound server and the recorder ---------------------------------------------------------------

def stop_processes(procs):
    """Ends the processes a run started, the last started first; one that will not end is killed."""
    for p in reversed(procs):
        if p.poll() is None:
            p.terminate()
    for p in reversed(procs):
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def build_tsrec(dest_dir):
    """Compiles the recorder into dest_dir and returns its path."""
    exe = os.path.join(dest_dir, "tsrec")
    subprocess.run(["cc", "-O2", "-o", exe, tsrec_src, "-lpulse-simple", "-lpulse"], check=True)
    return exe


class PrivatePulse:
    """A PulseAudio server of its own in folder, whose default sink is the null sink "vbcap".
    env holds what a client needs to reach it (and nothing else of the caller's sound setup)."""

    SINK = "vbcap"

    def __init__(self, folder, base_env):
        self.folder = folder
        self.env = dict(base_env, PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"),
                        PULSE_SERVER="unix:" + os.path.join(folder, "native"), SDL_AUDIODRIVER="pulseaudio")
        # Server and client keep their cookie and state in the server's folder, out of the client's
        # configuration folder.
        self.env["PULSE_COOKIE"] = os.path.join(folder, "cookie")
        self.server_env = dict(self.env, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                               XDG_RUNTIME_DIR=folder, XDG_STATE_HOME=os.path.join(folder, "state"),
                               XDG_CACHE_HOME=os.path.join(folder, "cache"))
        self.proc = None

    def start(self, preexec_fn=None, timeout=5.0):
        self.proc = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
             "--use-pid-file=no", "--disallow-exit",
             # With rewinds, a stream joining the sink was heard up to 2 s late and its
             # first clip cut by the next; a sound card plays it at once.
             "-L", "module-null-sink sink_name=%s rate=44100 norewinds=1" % self.SINK,
             "-L", "module-native-protocol-unix socket=%s/native auth-anonymous=1" % self.folder],
            env=self.server_env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=preexec_fn)
        end = time.monotonic() + timeout
        while subprocess.run(["pactl", "info"], env=self.env, capture_output=True).returncode != 0:
            if self.proc.poll() is not None or time.monotonic() > end:
                raise RuntimeError("pulseaudio did not start")
            time.sleep(0.05)
        subprocess.run(["pactl", "set-default-sink", self.SINK], env=self.env, check=True, capture_output=True)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class Recording:
    """tsrec on the null sink's monitor. t0 is the wall-clock time of sample 0 once stopped."""

    def __init__(self, tsrec, path, env, preexec_fn=None):
        self.path = path
        self.proc = subprocess.Popen([tsrec, path, PrivatePulse.SINK + ".monitor"], env=env,
                                     stdin=subprocess.DEVNULL, preexec_fn=preexec_fn)
        self.t0 = None

    def started(self):
        """Whether sample 0 has been written (the header is 44 bytes)."""
        try:
            return os.path.getsize(self.path) > 44 + 441 * 4
        except OSError:
            return False

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        self.t0 = float(open(self.path + ".t0").read().split()[0])
        return self.t0
