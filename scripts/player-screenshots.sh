#!/usr/bin/env bash
# Pictures of Kaviro's local and removable player modes playing a recording:
# the window as the player modes' test leaves it once the video plays.
#
#   scripts/player-screenshots.sh [FOLDER]   (default: the current folder)
#
# Writes kaviro-local-player.png and kaviro-removable-player.png.
# Environment: KAVIRO_BUILD_DIR (build folder, build/release).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KAVIRO_BUILD_DIR:-$root/build/release}
folder=$(realpath -m "${1:-.}")
mkdir -p "$folder"

cmake --build "$build" --target player_modes_test
KAVIRO_PLAYER_SCREENSHOTS="$folder" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/client/shell/player_modes_test" --gtest_filter='PlayerModes.*Plays*'
echo "Screenshots of the player modes: $folder/kaviro-local-player.png $folder/kaviro-removable-player.png"
