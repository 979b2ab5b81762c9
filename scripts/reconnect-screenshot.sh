#!/usr/bin/env bash
# A picture of Kaviro's main window right after a DVR dropped: its button's
# state mark, the event log's lines and the connect panel's RECONNECT, as
# the end-to-end test sees them before the DVR comes back.
#
#   scripts/reconnect-screenshot.sh [SCREENSHOT.png]   (default: kaviro-reconnect.png)
#
# Environment: KAVIRO_BUILD_DIR (build folder, build/release).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVIRO_BUILD_DIR:-$root/build/release}
screenshot=$(realpath -m "${1:-kaviro-reconnect.png}")

cmake --build "$build" --target kaviro_e2e_test
KAVIRO_RECONNECT_SCREENSHOT="$screenshot" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/client/shell/kaviro_e2e_test" --gtest_filter='ReconnectWindowTest.ADroppedDvrShowsItsMarkAtOnceAndComesBackWithVideo'
echo "Screenshot of a dropped DVR: $screenshot"
