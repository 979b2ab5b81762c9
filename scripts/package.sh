#!/usr/bin/env bash
# Builds the release preset and the Debian packages (kaviro, kaviro-tools,
# tarvek) into build/packages, then checks them: lintian without errors, the
# desktop entries and the AppStream file valid, the dependencies resolvable.
# Install them afterwards with
#   sudo apt install ./build/packages/*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
out=build/packages
cmake --preset release
cmake --build --preset release
rm -rf "$out"
cpack -G DEB --config build/release/CPackConfig.cmake -B "$out"
rm -rf "$out/_CPack_Packages"
for deb in "$out"/*.deb; do
  echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb -f "$deb" Installed-Size) KiB"
  echo "  Depends: $(dpkg-deb -f "$deb" Depends)"
done
echo "== lintian"
lintian --fail-on error --info "$out"/*.deb
echo "== desktop entries and AppStream"
desktop-file-validate packaging/desktop/*.desktop
appstreamcli validate --no-net packaging/desktop/*.metainfo.xml
echo "== dependencies resolvable by apt"
apt-get install --simulate "$(realpath "$out")"/*.deb >/dev/null
echo "Packages in $out; install them with: sudo apt install ./$out/*.deb"
