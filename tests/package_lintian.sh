#!/usr/bin/env bash
# Builds the .deb from a built tree and runs lintian on it: any error (E:) or warning (W:) fails.
#   package_lintian.sh BUILD_DIR
set -euo pipefail
out=$(mktemp -d); trap 'rm -rf "$out"' EXIT
cpack -G DEB --config "$1/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/velmora_*.deb)
dpkg-deb --field "$deb" Package Version Depends Recommends
# lintian warns about being run as root on stderr; that is not about the package. The package is
# not uploaded to Debian, so it has no bug of the archive to close (newer lintian asks for one).
lintian --no-tag-display-limit --suppress-tags initial-upload-closes-no-bugs "$deb" 2>/dev/null | tee "$out/lintian.log"
if grep -Eq '^[EW]: ' "$out/lintian.log"; then
  echo "FAIL: lintian reports errors or warnings"
  exit 1
fi
echo "PASS: lintian clean"
