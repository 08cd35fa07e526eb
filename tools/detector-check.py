#!/usr/bin/env python3
"""Runs the announcement check of the end-to-end suite many times and counts its false verdicts.

    tools/detector-check.py BUILD_DIR [--synthetic N] [--faults N] [--real N] [--load] [--seed S]

--synthetic N (default 60): announcements of N different times (every minute, hours of all three tens)
mixed from the clips as the sound path delivers them: an opening late by up to 240 ms, onsets jittered,
each clip cut by the next, dropouts (the server out of data for 5 to 40 ms), the server's resampling
(sox) a little off rate, a gain and noise. Each must pass; a failure is a false failure.
--faults N (default 30): announcements with one fault put in (a wrong clip, "1" for "7" among them, a
clip left out, a clip 45 to 150 ms off its second, a clip cut short, a clip where none belongs). Each
must fail; a pass is a missed fault.
--real N: N starts of the real program on the suite's own desktop (Xvfb, openbox, a private
PulseAudio null sink, the recorder), each at its own minute set with libfaketime, each speaking twice
as the suite has it; --load keeps both cores busy meanwhile. Each must pass.
Prints one line per announcement and the counts; exits non-zero on any false verdict.
Not a CI test: it takes minutes. Needs sox; --real also needs libfaketime (scripts/deps.sh bench)."""
import array, os, random, subprocess, sys, tempfile, time, wave

sys.dont_write_bytecode = True  # no cache folder in the source tree
here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
import announcement_audio as audio  # noqa: E402

OPENING_LATE_MS = 250   # as the end-to-end suite allows
HEARD_MS = 5600


def raw_clip(ses, name):
    with wave.open(os.path.join(ses, name + ".wav")) as w:
        return array.array("h", w.readframes(w.getnframes()))


def write_wav(path, samples, rate, channels):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(array.array("h", (max(-32768, min(32767, int(round(x)))) for x in samples)).tobytes())


def mix(ses, placed, gaps, total_ms, rnd, tmp):
    """A recording as tsrec makes it. placed: (name, onset ms, played ms or None for to its end) on the
    player's time line, each cut by the next one; gaps: (ms, length ms) where the server ran out of data
    and played silence, delaying the rest of the clip that was playing (the next one still starts on
    time: the recording kept from the failure showed the clips 998 ms apart and the last one stretched)."""
    rate = audio.RATE
    out = [0.0] * int(total_ms * rate / 1000)
    for k, (name, at, played) in enumerate(placed):
        clip = list(raw_clip(ses, name))
        for g_at, length in sorted(gaps, reverse=True):
            i = int((g_at - at) * rate / 1000)
            if 0 <= i < len(clip):
                clip[i:i] = [0] * int(length * rate / 1000)
        start = int(round(at * rate / 1000))
        end = len(out)
        if k + 1 < len(placed):
            end = int(round(placed[k + 1][1] * rate / 1000))
        if played is not None:
            end = min(end, start + int(played * rate / 1000))
        for i, v in enumerate(clip):
            if start + i >= end:
                break
            out[start + i] = float(v)
    src, dst = os.path.join(tmp, "player.wav"), os.path.join(tmp, "server.wav")
    write_wav(src, out, rate, 1)
    # The server's resampler is not ours: sox, at a rate a little off.
    speed = 1.0 + rnd.uniform(-3e-4, 3e-4)
    subprocess.run(["sox", src, "-r", "44100", "-c", "2", dst, "speed", "%.6f" % speed], check=True)
    with wave.open(dst) as w:
        pcm = array.array("h", w.readframes(w.getnframes()))
    gain, noise = rnd.uniform(0.25, 1.0), rnd.uniform(1.0, 30.0)
    path = os.path.join(tmp, "rec.wav")
    write_wav(path, (x * gain + rnd.gauss(0.0, noise) for x in pcm), 44100, 2)
    return path


FAULTS = ["wrong clip", "1 for 7", "left out", "off its second", "cut short", "where none belongs"]


def announcement(ses, hhmm, rnd, tmp, fault=None):
    """Mixes one announcement; returns (recording, press ms, what was done)."""
    press = rnd.uniform(300.0, 900.0)
    late = rnd.uniform(20.0, 240.0)
    sample_exact = rnd.random() < 0.5  # the new player starts clips on the grid; the old one jitters
    clips = audio.clip_names(hhmm)
    placed = []
    for name, slot in clips:
        jitter = 0.0 if sample_exact or slot == 0 else max(-20.0, min(20.0, rnd.gauss(0.0, 7.0)))
        placed.append([name, press + late + slot + jitter, None])
    what = ["late %.0f" % late, "exact" if sample_exact else "jitter"]
    if fault:
        k = rnd.randrange(1, len(placed))
        name = placed[k][0]
        if fault == "wrong clip":
            placed[k][0] = rnd.choice([n for n in audio.ALL_CLIPS if n not in (name, "Saat")])
        elif fault == "1 for 7":
            placed[k][0] = "1" if name == "7" else "7"
        elif fault == "left out":
            del placed[k]
        elif fault == "off its second":
            placed[k][1] += rnd.choice((-1, 1)) * rnd.uniform(45.0, 150.0)
        elif fault == "cut short":
            audible = audio.audible_ms(audio.read_clip(os.path.join(ses, name + ".wav")))
            placed[k][2] = audible * rnd.uniform(0.3, 0.8)
        elif fault == "where none belongs":
            free = sorted({2000, 4000} - {slot for _, slot in clips})
            slot = rnd.choice(free) if free else 4000
            extra = [rnd.choice(audio.ALL_CLIPS[1:]), press + late + slot, None]
            placed = ([p for p in placed if p[1] < extra[1] - 100] + [extra]
                      + [p for p in placed if p[1] > extra[1] + 100])
            if not free:
                placed = [p for p in placed if abs(p[1] - extra[1]) > 100 or p is extra]
        what.append("FAULT " + fault + " at %d" % k)
    placed.sort(key=lambda p: p[1])
    gaps = []
    if rnd.random() < 0.6:
        for _ in range(rnd.randint(1, 3)):
            # At least 10 ms into a clip: a dropout before anything was heard is a late start.
            gaps.append((rnd.choice(placed)[1] + rnd.uniform(10.0, 400.0), rnd.uniform(5.0, 40.0)))
        what.append("dropouts " + "+".join("%.0f" % g for _, g in sorted(gaps)))
    path = mix(ses, [tuple(p) for p in placed], gaps, press + HEARD_MS, rnd, tmp)
    return path, press, ", ".join(what)


def judge(path, ses, hhmm, press):
    det = audio.Detector(audio.read_recording(path))
    return audio.hear(det, ses, hhmm, press, OPENING_LATE_MS,
                      heard_until_ms=len(det.rec) * 1000.0 / audio.RATE)


def synthetic(ses, count, faults, seed):
    rnd = random.Random(seed)
    tmp = tempfile.mkdtemp(prefix="velmora-detector-check-")
    false_failures = missed = 0
    for i in range(count + faults):
        minute = i % 60
        hour = (i * 7 + [0, 10, 20][i % 3]) % 24
        hhmm = "%02d:%02d" % (hour, minute)
        fault = FAULTS[(i - count) % len(FAULTS)] if i >= count else None
        if fault == "1 for 7":
            hhmm = "%02d:%02d" % (hour, rnd.choice((7, 17, 27, 37, 47, 57, 1, 21)))
        path, press, what = announcement(ses, hhmm, rnd, tmp, fault)
        started = time.monotonic()
        bad, problems, lines = judge(path, ses, hhmm, press)
        failed = bool(bad or problems)
        wrong = failed != bool(fault)
        false_failures += wrong and not fault
        missed += wrong and bool(fault)
        print("%s %s (%s): %s%s [%.1f s]" % ("WRONG" if wrong else "ok   ", hhmm, what,
              "; ".join(bad + problems) or "passes", "" if not wrong else "\n" + "\n".join(lines),
              time.monotonic() - started), flush=True)
    print("synthetic: %d right announcements, %d false failures; %d with a fault, %d missed" % (
        count, false_failures, faults, missed), flush=True)
    return false_failures + missed


FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"


def busy_cores(n=2):
    """Processes that keep n cores busy until stopped."""
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(n)]


def real(build, count, load, seed):
    """count starts of the real program on the suite's own desktop, each at its own minute, two
    announcements each."""
    sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
    import masaustu  # noqa: E402
    if not os.path.exists(FAKETIME):
        print("libfaketime is missing (scripts/deps.sh bench installs it)")
        return 1
    rnd = random.Random(seed)
    program = os.path.join(build, "bin", "velmora")
    ses = os.path.join(build, "bin", "Ses")
    hogs = busy_cores() if load else []
    wrong = done = lost = 0
    suite = None
    minutes = list(range(60))
    rnd.shuffle(minutes)
    try:
        for i in range(count):
            if suite is None:
                # The suite's own desktop; made anew when it broke (its X or sound server gone, say).
                suite = masaustu.Suite(program, 1280, 800, os.path.join(tempfile.gettempdir(),
                                                                        "velmora-detector-check"))
                try:
                    suite.d.start()
                    suite.d.start_sound()
                except Exception as e:
                    lost += 1
                    print("desktop did not start (%s: %s)" % (type(e).__name__, e), flush=True)
                    suite.d.stop()
                    suite = None
                    continue
            # The program's clock: a minute of its own for each start, 5 s into it.
            hour = rnd.choice((rnd.randrange(10), 10 + rnd.randrange(10), 20 + rnd.randrange(4)))
            hhmm = "%02d:%02d" % (hour, minutes[i % 60])
            start = time.mktime(time.strptime("2026-12-09 " + hhmm + ":05", "%Y-%m-%d %H:%M:%S"))
            env = dict(suite.d.env, LD_PRELOAD=FAKETIME, FAKETIME="@2026-12-09 %s:05" % hhmm,
                       FAKETIME_DONT_FAKE_MONOTONIC="1")
            spawned = time.time()
            suite.proc = suite.d.spawn([program], "velmora", env=env)
            try:
                suite.clock = masaustu.poll("the clock window", suite.find_clock, timeout=30)
                # As the suite does: twice, the device opening anew for each.
                for attempt in (1, 2):
                    suite.step_no = 2 * i + attempt
                    faults, problems = suite.announce_and_hear(
                        ses, suite.step_no, device_opens=True, clock=lambda: start + time.time() - spawned)
                    failed = bool(faults or problems)
                    wrong += failed
                    done += 1
                    print("%s real %s #%d%s: %s" % ("FAIL " if failed else "ok   ", hhmm, attempt,
                                                   " under load" if load else "",
                                                   "; ".join(faults + problems) or "passes"), flush=True)
            except Exception as e:  # the desktop broke, which is not the check's verdict
                lost += 1
                print("desktop failed at %s (%s: %s); starting a new one" % (hhmm, type(e).__name__, e),
                      flush=True)
                suite.d.stop()
                suite = None
            finally:
                if suite is not None:
                    suite.proc.terminate()
                    suite.proc.wait(timeout=10)
    finally:
        for h in hogs:
            h.terminate()
            h.wait()
        if suite is not None:
            suite.d.stop()
    if lost:
        print("real: the desktop broke %d times (not counted)" % lost, flush=True)
    print("real: %d announcements%s, %d failures" % (done, " with both cores busy" if load else "", wrong),
          flush=True)
    return wrong


def main():
    args = sys.argv[1:]
    if not args or args[0].startswith("-"):
        print(__doc__)
        return 2
    build = os.path.abspath(args[0])
    ses = os.path.join(build, "bin", "Ses")

    def opt(name, default):
        return int(args[args.index(name) + 1]) if name in args else default
    wrong = 0
    if "--real" not in args or "--synthetic" in args:
        wrong += synthetic(ses, opt("--synthetic", 60), opt("--faults", 30), opt("--seed", 1))
    if "--real" in args:
        wrong += real(build, opt("--real", 10), "--load" in args, opt("--seed", 1))
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
