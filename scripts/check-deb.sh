#!/usr/bin/env bash
# One-time check of the .deb on a clean Debian release: builds the package on this machine, makes a
# minimal root of RELEASE (bookworm, trixie) with debootstrap (kept for reruns), installs the package
# there with apt (which resolves its Depends), and runs the program under xvfb-run inside the root: its
# clock window must be mapped, and it must end with exit code 0 on SIGTERM. Run as root (chroot).
#   check-deb.sh RELEASE [BUILD_DIR] [ROOT_DIR]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ]; then
  echo "usage: $0 RELEASE [BUILD_DIR] [ROOT_DIR]   (RELEASE: bookworm, trixie, ...)" >&2
  exit 2
fi
release=$1
build=${2:-/tmp/velmora-deb-build}
root=${3:-/tmp/velmora-deb-root-$release}
mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
cmake -S "$src" -B "$build" >/dev/null
cmake --build "$build" -j2 --target velmora
(cd "$build" && rm -f velmora_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/velmora_*.deb)

[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase "$release" "$root" "$mirror"
cleanup() { umount -l "$root/proc" "$root/dev/pts" "$root/dev" 2>/dev/null || true; }
trap cleanup EXIT
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

in_root apt-get update -q
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "/tmp/$(basename "$deb")" xvfb xauth x11-utils
echo "== installed"
in_root ls -l /usr/bin/velmora /usr/lib/velmora /usr/lib/velmora/Ses

cat > "$root/tmp/run-velmora.sh" <<'INNER'
set -u
export QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME=/tmp/velmora-config
rm -rf "$XDG_CONFIG_HOME"; mkdir -p "$XDG_CONFIG_HOME"
velmora > /tmp/velmora.log 2>&1 &
pid=$!
for _ in $(seq 100); do
  if xwininfo -root -tree | grep -q '"Form1"'; then break; fi
  sleep 0.1
done
xwininfo -root -tree | grep '"Form1"' || { echo "FAIL: no clock window"; cat /tmp/velmora.log; exit 1; }
kill -TERM "$pid"
wait "$pid"; rc=$?
echo "exit code on SIGTERM: $rc"; cat /tmp/velmora.log
[ "$rc" -eq 0 ] && grep -q '^Ayar=1' "$XDG_CONFIG_HOME/Orlenbay.ini" && echo "PASS"
INNER
in_root xvfb-run -a -s "-screen 0 1280x800x24" bash /tmp/run-velmora.sh
