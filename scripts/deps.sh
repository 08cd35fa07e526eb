#!/usr/bin/env bash
# Installs the Debian packages a step needs, only those that are missing.
#   deps.sh build   - to build and run the clock
#   deps.sh test    - also what the tests need (X server, window manager, sound server, Wayland
#                     compositor, validators, a C compiler with libpulse for tools/tsrec.c and the X
#                     headers for bench/xdamagelag.c, clang for the fuzzer, llvm-symbolizer for the
#                     sanitizers' traces, the AT-SPI buses and pyatspi,
#                     libfaketime for the reminder's end-to-end step)
#   deps.sh desktops - also the desktops scripts/desktops.sh starts (window managers and compositors)
#   deps.sh bench   - also what bench/run.py needs (X headers for its probes, xclock), the tools
#                     docs/performance.md names for finding causes, PipeWire for the onsets per
#                     sound server, and libfaketime for tools/detector-check.py --real
set -euo pipefail

build=(cmake make g++ pkg-config qt6-base-dev libsdl2-dev libxcb1-dev libxcb-xinput-dev libgl-dev libxkbcommon-dev
       fonts-liberation qt6-qpa-plugins qt6-wayland qt6-translations-l10n)
test=(xvfb xauth openbox libxrandr2 libx11-6 xdotool x11-utils x11-apps imagemagick pulseaudio pulseaudio-utils libpulse-dev
      gcc sox python3 util-linux clang libclang-rt-dev llvm desktop-file-utils appstream binutils weston xwayland qt6-wayland lintian dpkg-dev
      i3-wm i3status i3lock xterm sway x11-xserver-utils
      at-spi2-core python3-pyatspi dbus-daemon libfaketime
      fonts-dejavu-core systemd)
desktops=(xfwm4 kwin-x11 mutter)

bench=(libx11-dev libxdamage-dev libxfixes-dev x11-apps strace linux-perf heaptrack libfaketime
       pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon)
# The sound fault test builds bench/xdamagelag.c.
test+=(libx11-dev libxdamage-dev libxfixes-dev)

want=("${build[@]}")
case "${1:-build}" in
  test) want+=("${test[@]}") ;;
  desktops) want+=("${test[@]}" "${desktops[@]}") ;;
  bench) want+=("${test[@]}" "${bench[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
