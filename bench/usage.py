#!/usr/bin/env python3
"""Prints what velmora holds before and after much use: threads, file descriptors, pthread keys, Rss
and private memory, after one menu opening and one announcement, then after N more openings and M
more announcements (bench/usagegrowth.cpp), as a Markdown table. Nothing may grow with use.

    bench/usage.py [--openings N] [--announcements M] [--driver pulseaudio|dummy]
                   [--build-root PREFIX] [--no-build]

Defaults: 10,000 openings, 1,000 announcements, SDL's dummy driver (SDL2 loads with the sound
servers' client libraries all the same; about 50 ms a load). --driver pulseaudio starts a PulseAudio
server of its own with a null sink, as bench/run.py does; a load then takes about half a second
here, so use fewer openings. The device closes and SDL2 unloads after every opening and every
announcement. Builds as bench/run.py does (PREFIX-product, PREFIX-tools; default /tmp/bench).
"""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--openings", type=int, default=10000)
    ap.add_argument("--announcements", type=int, default=1000)
    ap.add_argument("--driver", choices=("pulseaudio", "dummy"), default="dummy")
    ap.add_argument("--build-root", default="/tmp/bench")
    ap.add_argument("--no-build", action="store_true")
    a = ap.parse_args()
    _, tools = run.build(a.build_root, a.no_build)
    desk = run.Desktop(tempfile.mkdtemp(prefix="velmora-usage-"))
    try:
        if a.driver == "pulseaudio":
            desk.start()
        env = dict(desk.env, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER=a.driver)
        env.pop("DISPLAY", None)
        cmd = [os.path.join(tools, "velmora_usagegrowth"), "--openings", str(a.openings),
               "--announcements", str(a.announcements)]
        run.log("$ " + " ".join(cmd))
        print("Sound driver: %s; load (1 min) at start %.2f." % (a.driver, run.load1()), flush=True)
        rc = subprocess.run(cmd, env=env).returncode
        print("Load (1 min) at the end %.2f." % run.load1())
        return rc
    finally:
        desk.stop()


if __name__ == "__main__":
    sys.exit(main())
