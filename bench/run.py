#!/usr/bin/env python3
"""Measures velmora side by side with two yardsticks, a minimal Qt Widgets clock (bench/minimal) and
`xclock -digital -update 1`, on an X server of its own (Xvfb + openbox), and prints a Markdown table.

    bench/run.py [--quick] [--runs N] [--window S] [--startup-runs N] [--drift-minutes M]
                 [--announce-runs N] [--build-root PREFIX] [--no-build] [--markdown FILE]

Full (default): 5 rounds with 60 s idle windows, 11 start-ups each, 10 min stopwatch drift,
3 announcement runs. --quick: 3 rounds, 15 s windows, 5 start-ups, 1 min drift, 1 announcement run.
The three programs run one at a time (so shared libraries are not split between them in Pss) and
in a rotating order, so that load from elsewhere falls on them alike. Every figure is a median
over the rounds unless it says max; the 1-minute load average is kept with each phase.

Builds the product (RelWithDebInfo) in PREFIX-product and the bench tools in PREFIX-tools
(default PREFIX /tmp/bench). Packages: bash scripts/deps.sh bench.
"""
import argparse
import os
import re
import select
import shlex
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(REPO, "tools"))
import announcement_audio as audio  # noqa: E402
# The seconds digits inside a 133 x 34 clock (velmora and the minimal clock share the layout).
SECONDS_BOX = (90, 6, 30, 28)
PICTURE = (126, 16)
IDLE_BEFORE_MEMORY = 10.0
AFTER_ANNOUNCEMENT = 10.0  # four clips in 4 s, the device closed 3 s after the last


def log(*a):
    print(*a, file=sys.stderr, flush=True)


def load1():
    return os.getloadavg()[0]


def sh(argv, **kw):
    return subprocess.run(argv, check=True, **kw)


def build(prefix, no_build):
    product, tools = prefix + "-product", prefix + "-tools"
    if not no_build:
        sh(["cmake", "-S", REPO, "-B", product, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBUILD_TESTING=OFF"],
           stdout=subprocess.DEVNULL)
        sh(["cmake", "--build", product, "-j2"], stdout=subprocess.DEVNULL)
        sh(["cmake", "-S", HERE, "-B", tools, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVELMORA_BUILD=" + product],
           stdout=subprocess.DEVNULL)
        sh(["cmake", "--build", tools, "-j2"], stdout=subprocess.DEVNULL)
    return product, tools


# ---------------------------------------------------------------- the desktop

class Desktop:
    def __init__(self, tmp):
        self.tmp, self.procs = tmp, []
        for d in ("home", "config", "wm-config", "run", "cache", "pulse"):
            os.makedirs(os.path.join(tmp, d), mode=0o700)
        drop = ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER",
                "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION")
        self.env = {k: v for k, v in os.environ.items() if k not in drop and not k.startswith("QT_")}
        self.env.update(HOME=os.path.join(tmp, "home"), XDG_CONFIG_HOME=os.path.join(tmp, "config"),
                        XDG_RUNTIME_DIR=os.path.join(tmp, "run"), XDG_CACHE_HOME=os.path.join(tmp, "cache"),
                        LC_ALL="C.UTF-8", LANG="C.UTF-8", QT_QPA_PLATFORM="xcb",
                        PULSE_SERVER="unix:" + os.path.join(tmp, "pulse", "native"),
                        PULSE_RUNTIME_PATH=os.path.join(tmp, "pulse"), SDL_AUDIODRIVER="pulseaudio")

    def spawn(self, argv, name, env=None, **kw):
        with open(os.path.join(self.tmp, name + ".log"), "ab") as out:
            p = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=subprocess.STDOUT, **kw)
        self.procs.append(p)
        return p

    def start(self):
        r, w = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"],
                   "xvfb", pass_fds=(w,))
        os.close(w)
        number, end = b"", time.monotonic() + 20
        while not number.endswith(b"\n"):
            if not select.select([r], [], [], max(0.0, end - time.monotonic()))[0]:
                raise SystemExit("Xvfb did not report a display")
            chunk = os.read(r, 16)
            if not chunk:
                raise SystemExit("Xvfb ended before reporting a display")
            number += chunk
        os.close(r)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.spawn(["openbox", "--sm-disable"], "openbox",
                   env=dict(self.env, XDG_CONFIG_HOME=os.path.join(self.tmp, "wm-config")))
        self.wait("openbox", lambda: "window id #" in self.out("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"))
        # The announcement goes to a null sink of a sound server of our own.
        self.spawn(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                    "--use-pid-file=no", "--disallow-exit",
                    "-L", "module-null-sink sink_name=benchsink rate=44100",
                    "-L", "module-native-protocol-unix socket=%s/pulse/native auth-anonymous=1" % self.tmp],
                   "pulseaudio")
        self.wait("pulseaudio", lambda: subprocess.run(["pactl", "info"], env=self.env,
                                                       capture_output=True).returncode == 0)
        sh(["pactl", "set-default-sink", "benchsink"], env=self.env, stdout=subprocess.DEVNULL)

    def out(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=20).stdout

    @staticmethod
    def wait(what, cond, timeout=15.0):
        end = time.monotonic() + timeout
        while not cond():
            if time.monotonic() > end:
                raise RuntimeError("timed out waiting for " + what)
            time.sleep(0.05)

    def stop(self):
        audio.stop_processes(self.procs)


# ---------------------------------------------------------------- one program

class Running:
    """A program started under xmapwait: exec to map in µs, its window and pid."""

    def __init__(self, desk, tools, name, argv, cls):
        self.desk = desk
        self.proc = subprocess.Popen([os.path.join(tools, "xmapwait"), "--class", cls, "--timeout", "30", "--"]
                                     + argv, env=desk.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True)
        line = self.proc.stdout.readline().split()
        if not line or line[0] != "mapped":
            self.proc.kill()
            raise RuntimeError("%s: no map reported (%s)" % (name, self.proc.stderr.read().strip()))
        self.startup_us, self.window, self.pid = int(line[1]), int(line[2], 16), int(line[3])

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.kill(self.pid, signal.SIGKILL)
            self.proc.wait()


def memory(pid):
    """Pss, private (clean + dirty) and Rss in KiB from smaps_rollup."""
    f = {}
    with open("/proc/%d/smaps_rollup" % pid) as s:
        for line in s:
            m = re.match(r"(\w+):\s+(\d+) kB", line)
            if m:
                f[m.group(1)] = int(m.group(2))
    return f["Pss"], f["Private_Clean"] + f["Private_Dirty"], f["Rss"], f["Anonymous"]


def task_counts(pid):
    """Per thread: (ns on CPU, voluntary context switches)."""
    out = {}
    base = "/proc/%d/task" % pid
    for tid in os.listdir(base):
        try:
            with open("%s/%s/schedstat" % (base, tid)) as s:
                ns = int(s.read().split()[0])
            with open("%s/%s/status" % (base, tid)) as s:
                vol = int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", s.read(), re.M).group(1))
        except (OSError, AttributeError):
            continue  # the thread ended between the listing and the read
        out[int(tid)] = (ns, vol)
    return out


def idle_window(pid, seconds, lag_cmd):
    """CPU ms and voluntary switches of all threads over the window, sampled every second so that a
    thread that ends inside it loses at most its last second. Runs lag_cmd alongside."""
    first = task_counts(pid)
    last = dict(first)
    seen_new, t0 = set(), time.monotonic()
    lag = subprocess.Popen(lag_cmd[0], env=lag_cmd[1], stdout=subprocess.PIPE, text=True) if lag_cmd else None
    end = t0 + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            break
        time.sleep(min(1.0, left))
        now = task_counts(pid)
        for tid, v in now.items():
            if tid not in first:
                seen_new.add(tid)
            last[tid] = v
    elapsed = time.monotonic() - t0
    final = task_counts(pid)
    ended = [t for t in last if t not in final]
    cpu = sum(last[t][0] - first.get(t, (0, 0))[0] for t in last) / 1e6
    vol = sum(last[t][1] - first.get(t, (0, 0))[1] for t in last)
    lag_out = lag.communicate(timeout=30)[0] if lag else ""
    summary = None
    for line in lag_out.splitlines():
        f = line.split()
        if f and f[0] == "summary":
            summary = dict(zip(f[1::2], (float(x) for x in f[2::2])))
    return {"cpu_ms": cpu * 60.0 / elapsed, "wakeups": vol / elapsed, "threads": len(final),
            "threads_started": len(seen_new), "threads_ended": len(ended), "lag": summary}


def announce(desk, r):
    """Presses on the clock's picture, chooses "Saati Oku..." and waits for a stream on the sink."""
    wid = str(r.window)
    desk.out("xdotool", "mousemove", "--window", wid, str(PICTURE[0]), str(PICTURE[1]), "mousedown", "1")

    def popup():
        for m in re.finditer(r"^\s+(0x[0-9a-f]+) .*\(\"velmora\" \"Velmora\"\)",
                             desk.out("xwininfo", "-root", "-children"), re.M):
            i = desk.out("xwininfo", "-id", m.group(1))
            if "Override Redirect State: yes" in i and "IsViewable" in i:
                return True
        return False
    try:
        Desktop.wait("the popup menu", popup, timeout=5)
    finally:
        desk.out("xdotool", "mouseup", "1")
    desk.out("xdotool", "key", "--delay", "30", "Down", "Return")
    Desktop.wait("the announcement's sound stream",
                 lambda: desk.out("pactl", "list", "short", "sink-inputs").strip() != "", timeout=5)


# ---------------------------------------------------------------- the runs

def median(xs):
    xs = [x for x in xs if x is not None]
    return statistics.median(xs) if xs else None


def run_announcement(product, runs):
    script = os.path.join(REPO, "tools", "measure-announcement.py")
    cmd = [sys.executable, script, product, "--runs", str(runs)]
    note = None
    log("$ " + " ".join(cmd))
    p = subprocess.run(cmd, capture_output=True, text=True)
    rows, current = [], None
    for line in p.stdout.splitlines():
        m = re.match(r"run \d+, (\w+) announcement", line)
        if m:
            current = m.group(1)
            continue
        f = line.split()
        if current and f and f[0].endswith(".wav"):
            if "NOT" in f:
                rows.append((current, f[0], None, None))
                continue
            # clip slot call callerr onset aftercall vsgrid vsopening heard/full match
            try:
                rows.append((current, f[0], float(f[6]), float(f[7])))
            except (IndexError, ValueError):
                rows.append((current, f[0], None, None))
    summary = [l for l in p.stdout.splitlines() if re.match(r"(cold|warmup|warm): ", l)]
    return {"rc": p.returncode, "rows": rows, "summary": summary, "cmd": cmd, "note": note, "stdout": p.stdout,
            "stderr": p.stderr.strip().splitlines()[-3:]}


def fmt(x, pattern="%.1f"):
    return "—" if x is None else pattern % x


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--quick", action="store_true")
    ap.add_argument("--runs", type=int)
    ap.add_argument("--window", type=float)
    ap.add_argument("--startup-runs", type=int)
    ap.add_argument("--drift-minutes", type=float)
    ap.add_argument("--announce-runs", type=int)
    ap.add_argument("--build-root", default="/tmp/bench")
    ap.add_argument("--no-build", action="store_true")
    ap.add_argument("--markdown", help="also write the table to this file")
    a = ap.parse_args()
    q = a.quick
    runs = a.runs or (3 if q else 5)
    window = a.window or (15.0 if q else 60.0)
    startup_runs = a.startup_runs or (5 if q else 11)
    drift_min = a.drift_minutes or (1.0 if q else 10.0)
    announce_runs = a.announce_runs or 1 if q else a.announce_runs or 3
    cmdline = "bench/run.py " + " ".join(shlex.quote(x) for x in sys.argv[1:])

    product, tools = build(a.build_root, a.no_build)
    loads = {"start": load1()}
    uptime_start = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    tmp = tempfile.mkdtemp(prefix="velmora-bench-")
    desk = Desktop(tmp)
    progs = {
        "velmora": ([os.path.join(product, "bin", "velmora")], "velmora", SECONDS_BOX),
        "minimal Qt": ([os.path.join(tools, "minimal_clock")], "minimal_clock", SECONDS_BOX),
        "xclock": (["xclock", "-digital", "-update", "1"], "XClock", None),
    }
    names = list(progs)
    res = {n: {"startup": [], "pss": [], "priv": [], "pss_ann": [], "priv_ann": [], "rss": [], "rss_ann": [], "anon": [], "anon_ann": [], "slag_med": [], "slag_max": [], "cpu": [], "wake": [],
               "threads": [], "lag_med": [], "lag_max": [], "changes": [], "ended": []} for n in names}
    drift = subprocess.Popen([os.path.join(tools, "velmora_kronodrift"), "--minutes", str(drift_min)],
                             env=dict(desk.env, QT_QPA_PLATFORM="offscreen"), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
    try:
        desk.start()
        # Start-up: one round to warm the caches (and write velmora's first-run settings), then timed.
        sl = []
        for rnd in range(startup_runs + 1):
            for n in names[rnd % 3:] + names[:rnd % 3]:
                argv, cls, _ = progs[n]
                r = Running(desk, tools, n, argv, cls)
                r.stop()
                if rnd:
                    res[n]["startup"].append(r.startup_us / 1000.0)
            sl.append(load1())
        loads["startup"] = sl
        log("start-up:", {n: median(res[n]["startup"]) for n in names})

        wl = []
        for rnd in range(runs):
            for n in names[rnd % 3:] + names[:rnd % 3]:
                argv, cls, box = progs[n]
                r = Running(desk, tools, n, argv, cls)
                try:
                    time.sleep(IDLE_BEFORE_MEMORY)
                    pss, priv, rss, anon = memory(r.pid)
                    res[n]["anon"].append(anon / 1024.0)
                    res[n]["pss"].append(pss / 1024.0)
                    res[n]["priv"].append(priv / 1024.0)
                    res[n]["rss"].append(rss / 1024.0)
                    lag_argv = [os.path.join(tools, "xdamagelag"), hex(r.window), str(window)]
                    if box:
                        lag_argv += [str(v) for v in box]
                    w = idle_window(r.pid, window, (lag_argv, desk.env))
                    wl.append(load1())
                    res[n]["cpu"].append(w["cpu_ms"])
                    res[n]["wake"].append(w["wakeups"])
                    res[n]["threads"].append(w["threads"])
                    res[n]["ended"].append(w["threads_ended"])
                    if w["lag"]:
                        res[n]["lag_med"].append(w["lag"]["lag_median_ms"])
                        res[n]["lag_max"].append(w["lag"]["lag_max_ms"])
                        res[n]["slag_med"].append(w["lag"]["server_median_ms"])
                        res[n]["slag_max"].append(w["lag"]["server_max_ms"])
                        res[n]["changes"].append(w["lag"]["changes"] / window)
                    if n == "velmora":
                        announce(desk, r)
                        time.sleep(AFTER_ANNOUNCEMENT)
                        pss, priv, rss, anon = memory(r.pid)
                        res[n]["anon_ann"].append(anon / 1024.0)
                        res[n]["rss_ann"].append(rss / 1024.0)
                        res[n]["pss_ann"].append(pss / 1024.0)
                        res[n]["priv_ann"].append(priv / 1024.0)
                    log("round %d %s: %s load %.2f" % (rnd + 1, n, w, load1()))
                finally:
                    r.stop()
        loads["idle"] = wl
    finally:
        desk.stop()
    ann = run_announcement(product, announce_runs)
    with open(a.build_root + "-announcement.txt", "w") as f:
        f.write(ann["stdout"])
    loads["announcement"] = [load1()]
    drift_out = drift.communicate()[0].split()
    d = dict(zip(drift_out[0::2], drift_out[1::2])) if drift_out else {}
    uptime_end = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    shutil.rmtree(tmp, ignore_errors=True)

    # ------------------------------------------------------------ the table
    def m(n, k):
        return median(res[n][k])

    def ratio(k):
        a, b = m("velmora", k), m("minimal Qt", k)
        return a / b if a is not None and b else None

    def verdict(ok):
        return "—" if ok is None else ("met" if ok else "**missed**")

    full = (runs, window, startup_runs, drift_min, announce_runs) == (5, 60.0, 11, 10.0, 3)
    kind = "quick" if q and not any((a.runs, a.window, a.startup_runs, a.drift_minutes, a.announce_runs)) \
        else ("full" if full else "custom")
    lines = []
    p = lines.append
    p("Measured %s, %s run (%d rounds, %.0f s idle windows, %d start-ups, %g min drift, %d announcement "
      "runs); rounds rotate the three programs." % (time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime()),
                                                   kind, runs, window, startup_runs,
                                                   drift_min, announce_runs))
    p("Load (1 min): at start %.2f; start-ups %s; idle windows median %.2f, max %.2f; uptime before `%s`, after `%s`."
      % (loads["start"], fmt(median(loads["startup"]), "%.2f"), median(loads["idle"]), max(loads["idle"]),
         uptime_start, uptime_end))
    p("")
    p("Command: `%s`" % cmdline)
    p("")
    p("| figure | velmora | minimal Qt | xclock | velmora / minimal | goal | |")
    p("|---|---:|---:|---:|---:|---|---|")
    rs = ratio("startup")
    p("| start-up, exec to map (ms) | %s | %s | %s | %s | ≤ 1.15x | %s |" % (
        fmt(m("velmora", "startup")), fmt(m("minimal Qt", "startup")), fmt(m("xclock", "startup")),
        fmt(rs, "%.2fx"), verdict(rs is not None and rs <= 1.15)))
    rp = ratio("pss")
    p("| Pss after 10 s idle (MiB) | %s | %s | %s | %s | ≤ 1.05x | %s |" % (
        fmt(m("velmora", "pss")), fmt(m("minimal Qt", "pss")), fmt(m("xclock", "pss")), fmt(rp, "%.2fx"),
        verdict(rp is not None and rp <= 1.05)))
    rv = ratio("priv")
    p("| private after 10 s idle (MiB) | %s | %s | %s | %s | ≤ 1.3x | %s |" % (
        fmt(m("velmora", "priv")), fmt(m("minimal Qt", "priv")), fmt(m("xclock", "priv")), fmt(rv, "%.2fx"),
        verdict(rv is not None and rv <= 1.3)))
    p("| Rss after 10 s idle (MiB) | %s | %s | %s | %s | | |" % (
        fmt(m("velmora", "rss")), fmt(m("minimal Qt", "rss")), fmt(m("xclock", "rss")), fmt(ratio("rss"), "%.2fx")))
    p("| anonymous after 10 s idle (MiB) | %s | %s | %s | %s | | |" % (
        fmt(m("velmora", "anon")), fmt(m("minimal Qt", "anon")), fmt(m("xclock", "anon")), fmt(ratio("anon"), "%.2fx")))
    ra = (m("velmora", "pss_ann") / m("minimal Qt", "pss")) if res["velmora"]["pss_ann"] else None
    p("| Pss after one announcement (MiB) | %s | — | — | %s | ≤ 1.20x | %s |" % (
        fmt(m("velmora", "pss_ann")), fmt(ra, "%.2fx"), verdict(ra is not None and ra <= 1.20)))
    p("| private after one announcement (MiB) | %s | — | — | | | |" % fmt(m("velmora", "priv_ann")))
    # Rss does not move with what other programs share; the minimal clock's idle Rss is the yardstick.
    rr = (m("velmora", "rss_ann") / m("minimal Qt", "rss")) if res["velmora"]["rss_ann"] else None
    p("| Rss after one announcement (MiB) | %s | — | — | %s | | |" % (fmt(m("velmora", "rss_ann")), fmt(rr, "%.2fx")))
    p("| anonymous after one announcement (MiB) | %s | — | — | | | |" % fmt(m("velmora", "anon_ann")))
    rc = ratio("cpu")
    p("| idle CPU, all threads (ms per min) | %s | %s | %s | %s | ≤ 1.2x | %s |" % (
        fmt(m("velmora", "cpu")), fmt(m("minimal Qt", "cpu")), fmt(m("xclock", "cpu")), fmt(rc, "%.2fx"),
        verdict(rc is not None and rc <= 1.2)))
    rw = ratio("wake")
    p("| wakeups, voluntary switches of all threads (per s) | %s | %s | %s | %s | ≤ 1.2x | %s |" % (
        fmt(m("velmora", "wake"), "%.2f"), fmt(m("minimal Qt", "wake"), "%.2f"), fmt(m("xclock", "wake"), "%.2f"),
        fmt(rw, "%.2fx"), verdict(rw is not None and rw <= 1.2)))
    p("| threads at the end of the window (ended inside it) | %s (%s) | %s (%s) | %s (%s) | | | |" % tuple(
        x for n in names for x in (fmt(m(n, "threads"), "%d"), fmt(max(res[n]["ended"] or [0]), "%d"))))
    p("| shown-second changes per s | %s | %s | %s | | | |" % tuple(fmt(m(n, "changes"), "%.3f") for n in names))
    p("| display lag, median (ms) | %s | %s | %s | | | |" % tuple(fmt(m(n, "lag_med")) for n in names))
    lm = max(res["velmora"]["lag_max"]) if res["velmora"]["lag_max"] else None
    p("| display lag, max over all windows (ms) | %s | %s | %s | | < 50 ms at every tick | %s |" % (
        fmt(lm), fmt(max(res["minimal Qt"]["lag_max"] or [0])), fmt(max(res["xclock"]["lag_max"] or [0])),
        verdict(lm is not None and lm < 50)))
    sm = max(res["velmora"]["slag_max"]) if res["velmora"]["slag_max"] else None
    p("| display lag at the server's repaint stamp, median / max (ms) | %s / %s | %s / %s | %s / %s | | < 50 ms | %s |" % (
        tuple(x for n in names for x in (fmt(m(n, "slag_med")), fmt(max(res[n]["slag_max"] or [0])))) +
        (verdict(sm is not None and sm < 50),)))
    # warmup: the first announcement of the warm run, with the device still to open, like cold.
    for label in ("cold", "warmup", "warm"):
        rows = [r for r in ann["rows"] if r[0] == label]
        if not rows:
            continue
        missing = sum(1 for r in rows if r[2] is None)
        worst_grid = max((abs(r[2]) for r in rows if r[2] is not None), default=None)
        worst_open = max((abs(r[3]) for r in rows if r[3] is not None), default=None)
        # The grid a listener hears starts at the opening clip; the call grid also holds the sound
        # server's output latency, a constant delay the ear does not hear as a beat off.
        ok = missing == 0 and worst_open is not None and worst_open <= 30
        p("| announcement onsets, %s: worst vs call grid / vs opening grid (ms) | %s / %s%s | — | — | | vs opening within 30 ms | %s |"
          % (label, fmt(worst_grid), fmt(worst_open), ", %d not heard" % missing if missing else "",
             verdict(ok)))
    if d:
        dm = float(d["drift_ms"])
        p("| stopwatch drift: ticks shown vs monotonic (%s min) | %s ticks in %.1f s, last tick %+.1f ms off "
          "(periods %s–%s ms) | — | — | | < 1 tick | %s |" % (
              fmt(drift_min, "%g"), d["ticks"], float(d["elapsed_ms"]) / 1000, dm, d["period_ms_min"],
              d["period_ms_max"], verdict(abs(dm) < 1000 and int(d["ticks"]) == int(d["expected"]))))
    p("")
    p("Announcement: `%s` (exit %d%s):" % (" ".join(["tools/measure-announcement.py", "BUILD"] + ann["cmd"][3:]),
                                          ann["rc"], "; " + ann["note"] if ann["note"] else ""))
    for s in ann["summary"] or ["(no summary line%s)" % ("; stderr: " + " | ".join(ann["stderr"]) if ann["stderr"] else "")]:
        p("    " + s)
    text = "\n".join(lines)
    print(text)
    if a.markdown:
        with open(a.markdown, "w") as f:
            f.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
