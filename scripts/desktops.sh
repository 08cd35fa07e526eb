#!/usr/bin/env bash
# The clock's window checks under every desktop its users run, each started here from its Debian
# package on an X server of its own; writes the table desktop x check to docs/desktops.md.
#   desktops.sh [BUILD_DIR] [DESKTOP...]    (default: build, and all of them)
# A run with only some desktops prints the table and leaves docs/desktops.md alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
all=(openbox xfwm4 kwin_x11 mutter i3 sway mutter-wayland)
bash "$root/scripts/deps.sh" desktops
if [ ! -x "$build/bin/velmora" ]; then
  cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)" --target velmora
fi
out=$build/desktops
mkdir -p "$out"
if [ $# -eq 0 ]; then
  python3 "$root/tests/e2e/masaustleri.py" "$build/bin/velmora" --out "$out" --md "$out/table.md" "${all[@]}" \
    && status=0 || status=$?
  # The prose above the marker line stays; the table below it is the new one.
  doc=$root/docs/desktops.md
  marker='<!-- table: written by scripts/desktops.sh -->'
  {
    if grep -qF "$marker" "$doc" 2>/dev/null; then awk -v m="$marker" '{ print } $0 == m { exit }' "$doc"
    else echo "$marker"; fi
    echo
    echo "Measured $(date -u +%Y-%m-%d) on $(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- . ':!docs' ':!tests' ':!scripts' || echo ' with changes'):"
    echo
    cat "$out/table.md"
  } > "$doc.new"
  mv "$doc.new" "$doc"
  exit $status
fi
exec python3 "$root/tests/e2e/masaustleri.py" "$build/bin/velmora" --out "$out" "$@"
