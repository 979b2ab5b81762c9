#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev poppler-utils
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libpostproc-dev ffmpeg
  libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev valgrind
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core
  qt6-svg-dev help2man bash-completion lintian desktop-file-utils appstream
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
