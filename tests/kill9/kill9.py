#!/usr/bin/env python3
"""Kills the confirm driver with SIGKILL at random moments; after every kill the store must parse
whole, with all ten keys and sane values, and nothing beside it may pass for the store.

usage: kill9.py DRIVER [KILLS]
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

ANAHTARLAR = ["Ayar", "Yazı Rengi", "Şeffaflık", "Dil", "Okuma Dili", "Zaman1", "Zaman2",
              "Başlık", "Metin", "Arka"]
BASLANGIC = ("[Velmora V.2.0]\nAyar=1\nYazı Rengi=65280\nŞeffaflık=255\nDil=Türkçe\n"
             "Okuma Dili=Türkçe\nZaman1=00\nZaman2=00\nBaşlık=\nMetin=\nArka=0\n").encode()


def denetle(yol):
    """Returns what is wrong with the store at yol, or None."""
    try:
        ham = open(yol, "rb").read()
    except OSError as e:
        return f"cannot read: {e}"
    try:
        metin = ham.decode("utf-8")
    except UnicodeDecodeError as e:
        return f"not UTF-8: {e}"
    if not metin.endswith("\n"):
        return "last line cut off"
    satirlar = metin.split("\n")[:-1]
    if satirlar[:1] != ["[Velmora V.2.0]"]:
        return f"no section header: {satirlar[:1]}"
    degerler = {}
    for s in satirlar[1:]:
        if "=" not in s:
            return f"line without a key: {s[:40]!r}"
        k, v = s.split("=", 1)
        if k in degerler:
            return f"key twice: {k}"
        degerler[k] = v
    if list(degerler) != ANAHTARLAR:
        return f"keys {list(degerler)}"
    for k, enCok in (("Yazı Rengi", 0xFFFFFF), ("Arka", 0xFFFFFF), ("Şeffaflık", 255)):
        v = degerler[k]
        if not v.isdigit() or str(int(v)) != v or int(v) > enCok:
            return f"{k}={v!r}"
    if degerler["Ayar"] != "1" or degerler["Dil"] != "Türkçe":
        return f"first-run keys changed: {degerler}"
    return None


def calistir(surucu, klasor, arg):
    env = dict(os.environ, XDG_CONFIG_HOME=klasor, QT_QPA_PLATFORM="offscreen", SDL_AUDIODRIVER="dummy")
    p = subprocess.Popen([surucu, arg], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.stdout.readline().strip() != b"hazir":
        p.kill()
        sys.exit(f"driver did not start: {p.stderr.read().decode(errors='replace')}")
    return p


def main():
    surucu = sys.argv[1]
    olum = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    rnd = random.Random(int(os.environ.get("KILL9_SEED", time.time_ns())))
    # A kill leaves the kernel's view of the files as it was, whatever the medium: in memory the runs
    # are short and the kills many.
    yer = "/dev/shm" if os.access("/dev/shm", os.W_OK) else None
    with tempfile.TemporaryDirectory(dir=yer) as klasor:
        yol = os.path.join(klasor, "Orlenbay.ini")

        # The checker must see a torn file when there is one.
        open(yol, "wb").write(BASLANGIC)
        p = calistir(surucu, klasor, "yirtik")
        p.send_signal(signal.SIGKILL)
        p.wait()
        if denetle(yol) is None:
            sys.exit("the checker passed a file cut in half")

        # How long a hundred confirms take, to spread the kills over them. Each confirm syncs the
        # disk, whose pace varies from run to run: the shortest of three runs keeps the kills inside.
        sureler = []
        for _ in range(3):
            open(yol, "wb").write(BASLANGIC)
            p = calistir(surucu, klasor, "100")
            t0 = time.monotonic()
            kalan = p.communicate()[0]
            sureler.append(time.monotonic() - t0)
            if p.returncode != 0 or b"bitti" not in kalan or denetle(yol):
                sys.exit(f"a full run failed: rc={p.returncode} {denetle(yol)}")
        sure = min(sureler)

        yarida = 0
        for i in range(olum):
            bekle = rnd.uniform(0, sure)
            p = calistir(surucu, klasor, "100")
            time.sleep(bekle)  # a random moment of the run, not a wait for a result
            yarida += p.poll() is None
            p.send_signal(signal.SIGKILL)
            p.wait()
            hata = denetle(yol)
            artik = sorted(set(os.listdir(klasor)) - {"Orlenbay.ini"})
            print(f"kill {i + 1:2d} after {bekle * 1000:6.1f} ms: {'torn: ' + hata if hata else 'whole'}"
                  f"{'; left beside it: ' + ', '.join(artik) if artik else ''}")
            if hata:
                sys.exit(f"store broken after kill {i + 1}: {hata}")
            for a in artik:
                # Left-over temporary files are never read as the store; they must not look like it.
                if a.lower() == "orlenbay.ini":
                    sys.exit(f"a second store: {a}")
        print(f"{olum} kills, {yarida} in the middle of the run (a full run takes {sure * 1000:.0f} ms)")
        if yarida < olum // 2:
            sys.exit("too few kills landed in the middle of the run")
        # What the killed writers left goes with the next write that runs to its end.
        p = calistir(surucu, klasor, "100")
        p.communicate()
        artik = sorted(set(os.listdir(klasor)) - {"Orlenbay.ini"})
        if p.returncode != 0 or artik:
            sys.exit(f"after a full run: rc={p.returncode}, left beside the store: {', '.join(artik)}")


if __name__ == "__main__":
    main()
