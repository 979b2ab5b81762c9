#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, with ASan and UBSan) and runs each for
# the given number of seconds (60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz
cmake --build --preset fuzz
for harness in build/fuzz/fuzz/fuzz_*; do
  [ -x "$harness" ] || continue
  echo "-- $(basename "$harness"), ${seconds}s"
  corpus=$(mktemp -d)
  "$harness" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
