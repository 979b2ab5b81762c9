#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, with ASan and UBSan) and runs each
# over a copy of its kept corpus (fuzz/corpus/<harness>/), so that an input
# known to have found a fault fails the run again and the tree stays clean.
#
#   scripts/fuzz.sh [SECONDS]               each harness for SECONDS (60)
#   scripts/fuzz.sh --campaign [SECONDS]    each harness for SECONDS (600) or
#                                           10 M executions, one at a time,
#                                           then executions, cov, ft, crashes
# FUZZ_ONLY=name runs only that harness; FUZZ_NICE=19 lowers its priority.
set -euo pipefail
cd "$(dirname "$0")/.."
campaign=0
if [ "${1:-}" = "--campaign" ]; then
  campaign=1
  shift
fi
seconds=${1:-$([ "$campaign" = 1 ] && echo 600 || echo 60)}
cmake --preset fuzz
cmake --build --preset fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
[ "$campaign" = 1 ] && printf '%-24s %12s %7s %7s %8s\n' harness executions cov ft crashes
for harness in build/fuzz/fuzz/fuzz_*; do
  [ -x "$harness" ] || continue
  name=$(basename "$harness")
  name=${name#fuzz_}
  [ -n "${FUZZ_ONLY:-}" ] && [ "$FUZZ_ONLY" != "$name" ] && continue
  corpus="$work/$name"
  mkdir -p "$corpus" "$work/artifacts-$name"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
  log="$work/$name.log"
  status=0
  if [ "$campaign" = 1 ]; then
    # A crash ends that harness's run; the others still run.
    nice -n "${FUZZ_NICE:-0}" "$harness" -max_total_time="$seconds" -runs=10000000 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts-$name/" "$corpus" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    crashes=$(find "$work/artifacts-$name" -type f | wc -l)
    printf '%-24s %12s %7s %7s %8s\n' "$name" "${executions:-?}" "${cov:-?}" "${ft:-?}" "$crashes"
    if [ "$status" != 0 ] || [ "$crashes" != 0 ]; then
      failed=1
      grep -m 3 -E 'ERROR|SUMMARY' "$log" || true
      mkdir -p build/fuzz/crashes
      cp "$work/artifacts-$name/"* build/fuzz/crashes/ 2>/dev/null || true
    fi
  else
    echo "-- $name, ${seconds}s"
    nice -n "${FUZZ_NICE:-0}" "$harness" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/artifacts-$name/" "$corpus" >"$log" 2>&1 || status=$?
    tail -n 3 "$log"
    if [ "$status" != 0 ]; then
      failed=1
      grep -m 5 -E 'ERROR|SUMMARY|Test unit written' "$log" || true
    fi
  fi
done
[ "$failed" = 0 ] || echo "fuzz: a harness found a fault (inputs kept in build/fuzz/crashes when a campaign)" >&2
exit "$failed"
