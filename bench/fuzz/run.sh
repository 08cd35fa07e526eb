#!/usr/bin/env bash
# Builds the settings fuzz target with clang (libFuzzer, ASan, UBSan) and runs it for a bounded time.
#   run.sh [seconds]   (default 30)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
secs=${1:-30}
out=${VELMORA_FUZZ_DIR:-/tmp/velmora-fuzz}
mkdir -p "$out/corpus"
cxx=$(command -v clang++-14 || command -v clang++)
# Qt is built with gcc; clang objects link against its libstdc++ build all the same.
"$cxx" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" $(pkg-config --cflags Qt6Gui) \
  "$here/ayar_fuzz.cpp" "$root/store/ayardeposu.cpp" \
  $(pkg-config --libs Qt6Gui) -o "$out/ayar_fuzz"
# The seeds are ours, in the tree; what the fuzzer finds on top of them stays in $out.
ASAN_OPTIONS=detect_leaks=1 "$out/ayar_fuzz" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -max_len=4096 -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" "$here/tohum"
