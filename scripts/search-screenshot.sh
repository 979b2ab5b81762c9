#!/usr/bin/env bash
# A picture of Kaviro's search and playback mode playing a file from the DVR
# emulator: the window as the end-to-end test leaves it once the slider moves.
#
#   scripts/search-screenshot.sh [SCREENSHOT.png]   (default: kaviro-search.png)
#
# Environment: KAVIRO_BUILD_DIR (build folder, build/release).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVIRO_BUILD_DIR:-$root/build/release}
screenshot=$(realpath -m "${1:-kaviro-search.png}")

cmake --build "$build" --target kaviro_e2e_test
KAVIRO_SEARCH_SCREENSHOT="$screenshot" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/client/shell/kaviro_e2e_test" --gtest_filter='SearchEndToEndTest.*'
echo "Screenshot of the search mode: $screenshot"
