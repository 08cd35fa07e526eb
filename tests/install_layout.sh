#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop needs to find there.
#   install_layout.sh BUILD_DIR
set -euo pipefail
build=$1
dest=$(mktemp -d); trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
fail=0
check() { if eval "$2"; then echo "PASS $1"; else echo "FAIL $1"; fail=1; fi; }
u="$dest/usr"
check "program and its clips together in lib/velmora" '[ -x "$u/lib/velmora/velmora" ] && [ "$(ls "$u/lib/velmora/Ses"/*.wav | wc -l)" -eq 16 ]'
check "bin/velmora links to it" '[ "$(readlink "$u/bin/velmora")" = ../lib/velmora/velmora ] && [ -x "$u/bin/velmora" ]'
check "no run path into the build" '! readelf -d "$u/lib/velmora/velmora" | grep -Eq "R(UN)?PATH"'
for s in 16 32 64 128 256; do
  check "icon ${s}x${s}" '[ "$(identify -format %wx%h "$u/share/icons/hicolor/${s}x${s}/apps/example.orlenbay.Velmora.png")" = "${s}x${s}" ]'
done
check "desktop entry valid" 'desktop-file-validate "$u/share/applications/example.orlenbay.Velmora.desktop"'
check "desktop entry names the installed icon and command" 'grep -qx "Icon=example.orlenbay.Velmora" "$u/share/applications/example.orlenbay.Velmora.desktop" && grep -qx "Exec=velmora" "$u/share/applications/example.orlenbay.Velmora.desktop"'
check "desktop entry offers the action Saati Oku" 'grep -qx "Exec=velmora --oku" "$u/share/applications/example.orlenbay.Velmora.desktop"'
check "hourly timer and its service in lib/systemd/user, not enabled" '[ -f "$u/lib/systemd/user/velmora-saat-basi.timer" ] && [ -f "$u/lib/systemd/user/velmora-saat-basi.service" ] && [ -z "$(find "$dest" -name "*.wants")" ]'
check "metainfo valid" 'appstreamcli validate --no-net "$u/share/metainfo/example.orlenbay.Velmora.metainfo.xml" >/dev/null'
check "manual page, changelog and copyright" '[ -s "$u/share/man/man1/velmora.1.gz" ] && [ -s "$u/share/doc/velmora/changelog.Debian.gz" ] && [ -s "$u/share/doc/velmora/copyright" ]'
check "bin/velmora in the install manifest" 'grep -qx /usr/bin/velmora "$build/install_manifest.txt"'
check "uninstall leaves no file and no link" 'DESTDIR="$dest" cmake --build "$build" --target uninstall >/dev/null && [ -z "$(find "$dest" ! -type d)" ]'
exit $fail
