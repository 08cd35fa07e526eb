#!/usr/bin/env bash
# Builds everything and runs every test: unit tests headless, desktop tests under Xvfb,
# then the unit tests again in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
#   test.sh           everything; what CI runs
#   test.sh --quick   one build and the unit label only (offscreen, about half a minute of tests)
# Every stage runs even when one before it failed, so one run shows all that fails; the script then
# ends non-zero and names the stages that failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
quick=false
[ "${1:-}" = "--quick" ] && quick=true
bash "$root/scripts/deps.sh" test || exit 1
jobs=$(nproc)
failed=()

start=$(date +%s)
build="$root/build-test"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
if cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "${launcher[@]}" >/dev/null &&
   cmake --build "$build" -j"$jobs"; then
  echo "build: $(( $(date +%s) - start )) s"
  if $quick; then
    (cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 300 -L unit)
    exit
  fi
  (cd "$build" && ctest --output-on-failure -j"$jobs" --timeout 300) || failed+=("tests")
else
  failed+=("build")
  $quick && exit 1
fi

start=$(date +%s)
asan="$root/build-asan"
if cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DBUILD_TESTING=ON "${launcher[@]}" >/dev/null &&
   cmake --build "$asan" -j"$jobs"; then
  echo "sanitizer build: $(( $(date +%s) - start )) s"
  # The unit label only: the real-timer test, the desktop, kill and package tests are left to the build
  # above, since the sanitizers only slow them down (the confirms that the kill test interrupts run in
  # the soak test under the sanitizers), and a sanitizer build is not what gets packaged.
  (cd "$asan" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs" --timeout 300 -L sanitize -L unit -E '^tst_saatoku_gercek$') ||
    failed+=("sanitizer tests")
else
  failed+=("sanitizer build")
fi

# The settings store's fuzz target (clang, libFuzzer), for a bounded time; the corpus grows across runs.
start=$(date +%s)
fuzz="$root/build-fuzz"
mkdir -p "$fuzz"
if VELMORA_FUZZ_DIR="$fuzz" bash "$root/bench/fuzz/run.sh" 30 >"$fuzz/run.log" 2>&1; then
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$fuzz/run.log" || true
  echo "fuzz: $(( $(date +%s) - start )) s"
else
  tail -40 "$fuzz/run.log"
  echo "fuzzing found a fault: the input is in $fuzz"
  failed+=("fuzz")
fi

if [ ${#failed[@]} -gt 0 ]; then
  printf 'failed stages: %s\n' "$(IFS=,; echo "${failed[*]}" | sed 's/,/, /g')"
  exit 1
fi
echo "every stage passed"
