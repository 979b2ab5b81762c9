#!/usr/bin/env bash
# Memcheck over a 10-second `kaviroctl record` against the emulated DVR
# (4 channels): fails on an invalid access, a use of an undefined value or a
# definite leak. The release build with its debug information is enough;
# valgrind's log stays in VALGRIND_LOG (a temporary file by default).
#
#   scripts/valgrind.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build=build/release
dvremu=$build/tools/dvremu/dvremu
kaviroctl=$build/client/kaviroctl/kaviroctl
# Lets valgrind start the program on machines whose RDTSCP it cannot decode.
hwy_timer=$build/testing/libvalgrind_hwy_timer.so
if [ ! -x "$dvremu" ] || [ ! -x "$kaviroctl" ] || [ ! -f "$hwy_timer" ]; then
  cmake --preset release >/dev/null
  cmake --build "$build" --target dvremu kaviroctl valgrind_hwy_timer
fi
command -v valgrind >/dev/null || { echo "valgrind: not installed (apt-get install valgrind)" >&2; exit 1; }

work=$(mktemp -d)
dvr=0
cleanup() {
  [ "$dvr" = 0 ] || kill "$dvr" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export KAVIRO_REGISTRY="$work/registry.db"
log=${VALGRIND_LOG:-$work/memcheck.log}

for _ in $(seq 1 20); do
  port=$((30000 + (RANDOM % 3000) * 10))
  "$dvremu" --port "$port" --channels 4 --no-stdin >"$work/dvr.out" 2>&1 &
  dvr=$!
  for _ in $(seq 1 100); do
    grep -q "ready in" "$work/dvr.out" 2>/dev/null && break 2
    kill -0 "$dvr" 2>/dev/null || break
    sleep 0.1
  done
  wait "$dvr" 2>/dev/null || true
  dvr=0
done
[ "$dvr" != 0 ] || { echo "valgrind: the emulator did not start" >&2; exit 1; }

started=$(date +%s)
status=0
LD_PRELOAD="$PWD/$hwy_timer" valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  --track-origins=yes --error-exitcode=99 --log-file="$log" \
  "$kaviroctl" record --port "$port" --password 1234 --seconds "$seconds" --timeout 120 --out "$work/rec" \
  >"$work/record.out" 2>"$work/record.err" || status=$?
took=$(($(date +%s) - started))
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost" "$log" || true
echo "valgrind: kaviroctl record exit $status after ${took}s; $(find "$work/rec" -name '*.rmp' | wc -l) recordings"
if [ "$status" = 99 ]; then
  grep -m 20 -E "^==[0-9]+== (Invalid|Conditional|Use of|Syscall|.*definitely lost)" "$log" >&2 || true
  echo "valgrind: memcheck found errors (log: $log)" >&2
  exit 1
fi
[ "$status" = 0 ] || { tail -n 3 "$work/record.err" >&2; exit 1; }
