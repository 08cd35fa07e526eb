#!/usr/bin/env bash
# Builds everything and runs every test: unit tests headless, desktop tests under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" test
build="$root/build-test"
start=$(date +%s)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "build: $(( $(date +%s) - start )) s"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 300
