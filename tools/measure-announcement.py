#!/usr/bin/env python3
"""Speaks the time once through a private PulseAudio null sink, records the sink in 10 ms fragments
and prints each clip's onset against the 1000 ms grid.

    tools/measure-announcement.py BUILD_DIR [--check]

With --check it exits non-zero unless every expected clip is heard within 30 ms of its slot.
Needs pulseaudio, libpulse-dev and a C compiler (scripts/deps.sh test installs them)."""
import os, signal, struct, subprocess, sys, tempfile, time, wave

here = os.path.dirname(os.path.abspath(__file__))
tsrec_src = os.path.join(here, "..", "..", "shared", "tools", "tsrec.c")


def expected_slots(hhmm):
    h, m = (int(x) for x in hhmm.split(":"))
    has_units = lambda v: v < 10 or v % 10 != 0
    slots = [0, 1000]
    if has_units(h):
        slots.append(2000)
    slots.append(3000)
    if has_units(m):
        slots.append(4000)
    return slots


def onsets(path, threshold=0.03, gap_ms=40):
    with wave.open(path) as w:
        rate, ch, n = w.getframerate(), w.getnchannels(), w.getnframes()
        data = w.readframes(n)
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    block = rate // 1000  # 1 ms
    found, quiet = [], gap_ms
    limit = threshold * 32768
    for b in range(0, n // block):
        seg = samples[b * block * ch:(b + 1) * block * ch]
        loud = max(abs(s) for s in seg) > limit if seg else False
        if loud and quiet >= gap_ms:
            found.append(b / 1000.0)
        quiet = 0 if loud else quiet + 1
    return found


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    check = "--check" in sys.argv
    speak = os.path.join(build, "bin", "velmora_speak")
    tmp = tempfile.mkdtemp(prefix="velmora-sound-")
    env = dict(os.environ, HOME=tmp, XDG_RUNTIME_DIR=tmp, PULSE_RUNTIME_PATH=os.path.join(tmp, "pulse"),
               PULSE_SERVER="unix:" + os.path.join(tmp, "native"), QT_QPA_PLATFORM="offscreen",
               SDL_AUDIODRIVER="pulseaudio")
    tsrec = os.path.join(tmp, "tsrec")
    subprocess.run(["cc", "-O2", "-o", tsrec, tsrec_src, "-lpulse-simple", "-lpulse"], check=True)
    pa = subprocess.Popen(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                           "--use-pid-file=no", "--disallow-exit",
                           "-L", "module-null-sink sink_name=vbcap rate=44100",
                           "-L", "module-native-protocol-unix socket=%s/native auth-anonymous=1" % tmp],
                          env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.05)
        else:
            print("pulseaudio did not start")
            return 1
        subprocess.run(["pactl", "set-default-sink", "vbcap"], env=env, check=True)
        out = os.path.join(tmp, "rec.wav")
        rec = subprocess.Popen([tsrec, out, "vbcap.monitor"], env=env)
        time.sleep(0.5)
        spoken = subprocess.run([speak, "6000"], env=env, capture_output=True, text=True, check=True)
        rec.send_signal(signal.SIGINT)
        rec.wait(timeout=10)
    finally:
        pa.terminate()
        pa.wait(timeout=10)
    line = next(l for l in spoken.stdout.splitlines() if l.startswith("start "))
    _, start, hhmm = line.split()
    start = float(start)
    t0 = float(open(out + ".t0").read().split()[0])
    heard = [t0 + o - start for o in onsets(out)]
    slots = expected_slots(hhmm)
    print("announcement of %s: %d clips expected, %d heard" % (hhmm, len(slots), len(heard)))
    print("%-6s %12s %14s %16s" % ("clip", "slot (ms)", "onset (ms)", "vs 1st onset"))
    ok = len(heard) == len(slots)
    first = heard[0] * 1000 if heard else 0
    for i, slot in enumerate(slots):
        if i >= len(heard):
            print("%-6d %12d %14s" % (i, slot, "missing"))
            continue
        onset = heard[i] * 1000
        err = onset - first - slot
        ok = ok and abs(err) <= 30
        print("%-6d %12d %14.1f %+15.1f" % (i, slot, onset, err))
    print("latency of the first clip after the play call: %.1f ms" % first)
    print("result: %s" % ("every clip within 30 ms of its slot" if ok else "OUT OF TOLERANCE"))
    return 0 if (ok or not check) else 1


if __name__ == "__main__":
    sys.exit(main())
