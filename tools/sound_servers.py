"""Private sound servers with a null sink "vbcap" as the default output, and recorders of that sink:
PulseAudio (announcement_audio.PrivatePulse), PipeWire with its PulseAudio service, and PipeWire alone.
Each lives in a folder of its own and reaches no sound server of the caller's.

    server = start_server("pipewire", folder, env)   # pulseaudio | pipewire-pulse | pipewire
    rec = server.recording(path)                      # .started(), .stop() -> wall-clock time of sample 0
    server.stop()
"""
import array, os, signal, subprocess, threading, time, wave

import announcement_audio as audio

SERVERS = ("pulseaudio", "pipewire-pulse", "pipewire")
RATE = 44100  # the sink's rate, and the recording's

# The null sink, and the graph at the sink's rate so that only the client's stream is resampled.
PIPEWIRE_CONF = """context.properties = { default.clock.rate = %d default.clock.allowed-rates = [ %d ] }
context.objects = [
  { factory = adapter
    args = { factory.name = support.null-audio-sink node.name = "vbcap" node.description = "vbcap"
             media.class = "Audio/Sink" object.linger = true audio.position = [ FL FR ] audio.rate = %d } }
]
""" % (RATE, RATE, RATE)


def _wait(what, cond, proc_list, timeout=10.0):
    end = time.monotonic() + timeout
    while not cond():
        for p in proc_list:
            if p.poll() is not None:
                raise RuntimeError("%s ended before %s" % (p.args[0], what))
        if time.monotonic() > end:
            raise RuntimeError("timed out waiting for " + what)
        time.sleep(0.05)


class Pulse:
    """PulseAudio, recorded through tsrec."""
    name = "pulseaudio"

    def __init__(self, folder, base_env, preexec_fn=None):
        self.pa = audio.PrivatePulse(folder, base_env)
        self.pa.start(preexec_fn=preexec_fn)
        self.tsrec = audio.build_tsrec(folder)
        self.env = dict(self.pa.env)
        self.env.pop("SDL_AUDIODRIVER", None)  # the program chooses its output itself
        self.procs = [self.pa.proc]

    def recording(self, path, preexec_fn=None):
        return audio.Recording(self.tsrec, path, self.pa.env, preexec_fn=preexec_fn)

    def stop(self):
        self.pa.stop()


class PipeWire:
    """pipewire and wireplumber (on a D-Bus session bus of their own), with pipewire-pulse when pulse is
    true. The clients' env reaches PipeWire (and its PulseAudio service) only; libpulse is told not to
    start a PulseAudio server of its own."""

    def __init__(self, folder, base_env, pulse, preexec_fn=None):
        self.name = "pipewire-pulse" if pulse else "pipewire"
        self.folder, self.procs, self.pulse = folder, [], pulse
        run = os.path.join(folder, "run")
        conf = os.path.join(folder, "config", "pipewire", "pipewire.conf.d")
        os.makedirs(conf, exist_ok=True)
        os.makedirs(run, mode=0o700, exist_ok=True)
        with open(os.path.join(conf, "vbcap.conf"), "w") as f:
            f.write(PIPEWIRE_CONF)
        client_conf = os.path.join(folder, "client.conf")
        with open(client_conf, "w") as f:
            f.write("autospawn = no\n")
        bus = "unix:path=" + os.path.join(run, "bus")
        drop = ("PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_COOKIE", "SDL_AUDIODRIVER", "PIPEWIRE_REMOTE")
        clean = {k: v for k, v in base_env.items() if k not in drop}
        self.server_env = dict(clean, HOME=folder, XDG_CONFIG_HOME=os.path.join(folder, "config"),
                               XDG_RUNTIME_DIR=run, XDG_STATE_HOME=os.path.join(folder, "state"),
                               XDG_DATA_HOME=os.path.join(folder, "data"), DBUS_SESSION_BUS_ADDRESS=bus,
                               PULSE_CLIENTCONFIG=client_conf)
        self.env = dict(clean, PIPEWIRE_RUNTIME_DIR=run, PULSE_CLIENTCONFIG=client_conf)
        if pulse:
            self.env["PULSE_SERVER"] = "unix:" + os.path.join(run, "pulse", "native")
        self.tool_env = dict(self.server_env)

        def spawn(argv):
            log = open(os.path.join(folder, os.path.basename(argv[0]) + ".log"), "ab")
            p = subprocess.Popen(argv, env=self.server_env, stdin=subprocess.DEVNULL, stdout=log,
                                 stderr=subprocess.STDOUT, preexec_fn=preexec_fn)
            self.procs.append(p)
            return p
        try:
            spawn(["dbus-daemon", "--session", "--address=" + bus, "--nofork", "--nopidfile"])
            _wait("the session bus", lambda: os.path.exists(os.path.join(run, "bus")), self.procs)
            spawn(["pipewire"])
            _wait("pipewire", lambda: os.path.exists(os.path.join(run, "pipewire-0")), self.procs)
            spawn(["wireplumber"])
            _wait("wireplumber to choose the null sink", self._default_sink, self.procs, timeout=15)
            if pulse:
                spawn(["pipewire-pulse"])
                _wait("pipewire-pulse", lambda: subprocess.run(["pactl", "info"], env=self.env,
                                                               capture_output=True).returncode == 0, self.procs)
                self.tsrec = audio.build_tsrec(folder)
        except BaseException:
            self.stop()
            raise

    def _default_sink(self):
        out = subprocess.run(["pw-metadata", "0", "default.audio.sink"], env=self.tool_env,
                             capture_output=True, text=True, timeout=5).stdout
        return '"vbcap"' in out

    def recording(self, path, preexec_fn=None):
        if self.pulse:
            return audio.Recording(self.tsrec, path, self.env, preexec_fn=preexec_fn)
        return PwRecording(path, self.tool_env, preexec_fn=preexec_fn)

    def stop(self):
        audio.stop_processes(self.procs)


class PwRecording:
    """pw-record on the null sink's monitor, raw to a pipe read here in small pieces; like tsrec, the
    wall-clock time of sample 0 is the minimum over reads of read time - frames so far / rate. Once
    stopped, path holds a WAV file (s16, 2 channels, RATE) and path.t0 the time of sample 0."""

    def __init__(self, path, env, preexec_fn=None):
        self.path, self.t0, self.frames = path, None, 0
        self.best = float("inf")
        self.data = bytearray()
        self.proc = subprocess.Popen(["pw-record", "--target", "vbcap", "-P", "{ stream.capture.sink = true }",
                                      "--latency", "10ms", "--rate", str(RATE), "--channels", "2",
                                      "--format", "s16", "-"], env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, preexec_fn=preexec_fn)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        fd = self.proc.stdout.fileno()
        while True:
            chunk = os.read(fd, 4096)
            if not chunk:
                return
            t = time.time()
            self.data += chunk
            self.best = min(self.best, t - (len(self.data) // 4) / RATE)

    def started(self):
        return len(self.data) > 441 * 4

    def stop(self):
        self.proc.send_signal(signal.SIGINT)
        self.proc.wait(timeout=10)
        self.reader.join(timeout=10)
        pcm = bytes(self.data[:len(self.data) // 4 * 4])
        with wave.open(self.path, "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(pcm)
        with open(self.path + ".t0", "w") as f:
            f.write("%.6f %.6f\n" % (self.best, self.best))
        self.t0 = self.best
        return self.t0


def start_server(name, folder, base_env, preexec_fn=None):
    if name == "pulseaudio":
        return Pulse(folder, base_env, preexec_fn)
    if name in ("pipewire-pulse", "pipewire"):
        return PipeWire(folder, base_env, name == "pipewire-pulse", preexec_fn)
    raise ValueError("unknown sound server %r (one of %s)" % (name, ", ".join(SERVERS)))
