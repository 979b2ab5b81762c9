#!/usr/bin/env bash
# The main command: installs what is missing, builds, starts the DVR emulator,
# puts it in Kaviro's address book and starts Kaviro connected to it.
#
#   scripts/run-kaviro.sh [SCREENSHOT.png]
#
# With a display Kaviro stays up until you turn it off. Without one ($DISPLAY
# unset) it runs under xvfb-run, saves a screenshot of the main window with
# live video (default: kaviro-live.png in the current folder) and exits.
# Environment: KAVIRO_BUILD_DIR (build folder), DVREMU_PORT (command port,
# 4000), DVREMU_CHANNELS (4 or 8), KAVIRO_SECONDS (unattended run length, 8).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVIRO_BUILD_DIR:-$root/build/run}
port=${DVREMU_PORT:-4000}
channels=${DVREMU_CHANNELS:-8}
seconds=${KAVIRO_SECONDS:-8}
screenshot=$(realpath -m "${1:-kaviro-live.png}")

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target kaviro kaviro-setup dvremu

"$build/tools/dvremu/dvremu" --port "$port" --channels "$channels" --no-stdin &
dvremu_pid=$!
trap 'kill "$dvremu_pid" 2>/dev/null; wait "$dvremu_pid" 2>/dev/null || true' EXIT
# The emulator encodes its video before it listens.
for _ in $(seq 1 100); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
  kill -0 "$dvremu_pid" 2>/dev/null || { echo "dvremu did not start" >&2; exit 1; }
  sleep 0.1
done

"$build/client/shell/kaviro-setup" --add-ethernet Emulator 127.0.0.1 "$port" admin 1234

kaviro="$build/client/shell/kaviro"
if [ -n "${DISPLAY:-}" ]; then
  "$kaviro" --connect Emulator
else
  xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$kaviro" --connect Emulator --screenshot "$screenshot" --exit-after "$seconds"
  echo "Screenshot of the live view: $screenshot"
fi
