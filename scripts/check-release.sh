#!/usr/bin/env bash
# Runs the README's test command on a clean Debian release, as on a fresh machine: makes a minimal
# root of RELEASE (bookworm, trixie) with debootstrap (kept for reruns), puts a fresh clone of this
# repository's committed state in it, and runs `bash scripts/test.sh` there, which installs what it
# needs. Prints the stages that failed (if any) and the time; the whole output is kept in
# ROOT_DIR/root/test-RELEASE.log. Run as root (chroot); CI stays on the machine's own release.
#   check-release.sh RELEASE [ROOT_DIR]
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ]; then
  echo "usage: $0 RELEASE [ROOT_DIR]   (RELEASE: bookworm, trixie, ...)" >&2
  exit 2
fi
release=$1
root=${2:-/tmp/velmora-release-root-$release}
mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase "$release" "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounts=()
cleanup() {
  # Whatever the tests left running in the root holds its mounts.
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -KILL "${p#/proc/}" 2>/dev/null || true
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mount_in() { mount "$@"; mounts+=("${@: -1}"); }
mount_in -t proc proc "$root/proc"
mount_in -t sysfs -o ro sysfs "$root/sys"
mount_in --bind /dev "$root/dev"
mount_in --bind /dev/pts "$root/dev/pts"
mount_in -t tmpfs -o mode=1777 shm "$root/dev/shm"
mount_in -t tmpfs -o mode=755 run "$root/run"
mount_in -t tmpfs -o mode=1777 tmp "$root/tmp"

# A fresh clone, as a new user would have it: only what is committed.
rm -rf "$root/root/velmora"
git clone -q "$src" "$root/root/velmora"
log=$root/root/test-$release.log
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

echo "== $release: $(git -C "$root/root/velmora" log -1 --format='%h %s')"
start=$(date +%s)
rc=0
in_root bash -c 'cd /root/velmora && bash scripts/test.sh' >"$log" 2>&1 || rc=$?
elapsed=$(( $(date +%s) - start ))
grep -E '^(build|sanitizer build|fuzz): [0-9]+ s$|^failed stages:|tests passed|tests failed' "$log" || true
echo "== $release: test.sh exit $rc after $((elapsed / 60)) min $((elapsed % 60)) s; the whole output is in $log"
exit "$rc"
