#!/usr/bin/env bash
# Builds everything and runs every test: unit tests headless, desktop tests under Xvfb,
# then the unit tests again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh" test
jobs=$(nproc)

start=$(date +%s)
build="$root/build-test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$jobs"
echo "build: $(( $(date +%s) - start )) s"
(cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 300)

start=$(date +%s)
asan="$root/build-asan"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build "$asan" -j"$jobs"
echo "sanitizer build: $(( $(date +%s) - start )) s"
# Real-timer and desktop tests are left to the build above: the sanitizers only slow them down.
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" --timeout 300 -E '^(e2e_|tst_saatoku_gercek|announcement_)')
