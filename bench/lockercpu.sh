#!/usr/bin/env bash
# CPU time of the clock, the X server and i3lock while i3lock covers an unmanaged clock: i3 with
# Debian's configuration (less its first-start wizard) on an Xvfb of its own, i3lock as xss-lock
# starts it. Prints the seconds each used over the window.
#   bench/lockercpu.sh PATH/TO/velmora [SECONDS]      (default 10; packages: xvfb i3-wm i3lock)
set -euo pipefail
program=$1
seconds=${2:-10}
tmp=$(mktemp -d)
chmod 700 "$tmp"
grep -v i3-config-wizard /etc/i3/config >"$tmp/i3-config"
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy
export QT_QPA_PLATFORM=xcb
pids=()
finish() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap finish EXIT
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")
i3 -c "$tmp/i3-config" >"$tmp/i3.log" 2>&1 &
pids+=($!)
sleep 2
"$program" >"$tmp/velmora.log" 2>&1 &
clock=$!
pids+=($clock)
sleep 3
i3lock -n -c 0000ff >"$tmp/i3lock.log" 2>&1 &
lock=$!
pids=($lock "${pids[@]}" $xvfb)
sleep 1
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
c0=$(cpu $clock) x0=$(cpu $xvfb) l0=$(cpu $lock)
sleep "$seconds"
c1=$(cpu $clock) x1=$(cpu $xvfb) l1=$(cpu $lock)
tick=$(getconf CLK_TCK)
awk -v s="$seconds" -v c=$((c1 - c0)) -v x=$((x1 - x0)) -v l=$((l1 - l0)) -v t="$tick" \
    -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    'BEGIN { printf "over %d s under i3lock: velmora %.2f s, Xvfb %.2f s, i3lock %.2f s of CPU (load %s)\n",
             s, c / t, x / t, l / t, load }'
