#!/usr/bin/env bash
# Builds the release preset and runs every test. GUI tests use Qt's offscreen
# platform, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release
cmake --build --preset release
ctest --preset release
