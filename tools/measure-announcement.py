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
import array, math, os, random, subprocess, sys, tempfile, time, wave

sys.dont_write_bytecode = True  # no cache folder in the source tree
from announcement_audio import *  # the detector, the sound server and the recorder
from announcement_audio import PrivatePulse, Recording, build_tsrec, read_clips

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


def record_once(build, env, tmp, tsrec, warm, idx):
    speak = os.path.join(build, "bin", "velmora_speak")
    out = os.path.join(tmp, "rec%d.wav" % idx)
    rec = Recording(tsrec, out, env)
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
    pa = PrivatePulse(tmp, dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, QT_QPA_PLATFORM="offscreen"))
    env = pa.env
    tsrec = build_tsrec(tmp)
    results = []
    try:
        try:
            pa.start()
        except RuntimeError as e:
            print(e)
            return 1
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
        pa.stop()
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
