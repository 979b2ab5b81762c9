#!/usr/bin/env bash
# Builds the Debian packages into a scratch folder, unpacks them into a
# scratch root (dpkg-deb -x) and runs the programs from there: what an
# installation would hold, with the dependencies dpkg-shlibdeps found.
#
#   test_packages.sh CPACK BUILD_DIR
set -uo pipefail
cpack=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# "WIDTHxHEIGHT" of a PNG file, from its header.
png_size() {
  local b
  read -ra b <<<"$(od -An -tu1 -j16 -N8 "$1" 2>/dev/null)"
  [ ${#b[@]} -eq 8 ] || return
  echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
root=$scratch/root
for package in kaviro kaviro-tools tarvek; do
  deb=$(ls "$scratch/out/${package}_${version}_"*.deb 2>/dev/null)
  if [ ! -f "$deb" ]; then
    fail "no package $package"
    continue
  fi
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "$package: $(du -k "$deb" | cut -f1) KiB; Depends: $depends"
  # Taken from the shared libraries, never typed: libc is always among them.
  grep -q "libc6 (>=" <<<"$depends" || fail "$package: no dependency on libc6 from dpkg-shlibdeps"
  grep -q vistrel <<<"$depends" && fail "$package depends on its own private library"
  listing=$(dpkg-deb -c "$deb")
  grep -q "usr/share/doc/$package/copyright$" <<<"$listing" || fail "$package: no copyright file"
  dpkg-deb -x "$deb" "$root"
done
grep -q libqt6widgets6 <<<"$(dpkg-deb -f "$scratch/out/kaviro_${version}_"*.deb Depends)" ||
  fail "kaviro: no dependency on Qt Widgets"

export QT_QPA_PLATFORM=offscreen
bin=$root/usr/bin
# Whole outputs are read first: grep -q stops at its match, and the program
# still writing would end on SIGPIPE.
grep -q "^kaviro Ver\. $version (" <<<"$("$bin/kaviro" --version)" || fail "kaviro --version"
grep -q "^Usage: kaviroctl" <<<"$("$bin/kaviroctl" --help)" || fail "kaviroctl --help"
grep -q "^Usage: dvremu" <<<"$("$bin/dvremu" --help)" || fail "dvremu --help"
for program in kaviro-setup bootmon tarvek vistrel-view; do
  grep -q "^$program Ver\. $version (" <<<"$("$bin/$program" --version)" || fail "$program --version"
done
# The private library is found beside the programs, not in the build tree.
private=$(find "$root/usr/lib" -name libvistrel.so)
[ -n "$private" ] || fail "kaviro holds no libvistrel.so"
vistrel=$(ldd "$bin/kaviro" | sed -n 's/^\s*libvistrel\.so => \(\S*\) .*/\1/p')
[ -n "$vistrel" ] && [ "$(realpath "$vistrel")" = "$(realpath "$private")" ] ||
  fail "kaviro does not load libvistrel.so from its own tree: ${vistrel:-not found}"

# An installed Kaviro needs no set-up step: the first start creates the keys.
export KAVIRO_REGISTRY=$scratch/config/registry.db XDG_DATA_HOME=$scratch/data
"$bin/kaviro" --nosplash --exit-after 1 >"$scratch/kaviro.log" 2>&1 || fail "kaviro did not start: $(cat "$scratch/kaviro.log")"
[ -f "$KAVIRO_REGISTRY" ] || fail "the first start made no configuration"

share=$root/usr/share
for page in kaviro kaviro-setup kaviroctl vistrel-view dvremu bootmon tarvek; do
  [ -s "$share/man/man1/$page.1.gz" ] || fail "no manual page of $page"
done
for icon in kaviro tarvek; do
  for size in 16 32 48 256 512; do
    [ "$(png_size "$share/icons/hicolor/${size}x${size}/apps/$icon.png")" = "${size}x${size}" ] ||
      fail "no $size px icon of $icon"
  done
  grep -q "<svg" "$share/icons/hicolor/scalable/apps/$icon.svg" 2>/dev/null || fail "no scalable icon of $icon"
done
for completion in kaviroctl dvremu tarvek; do
  [ -s "$share/bash-completion/completions/$completion" ] || fail "no completion of $completion"
done
[ -s "$share/mime/packages/kaviro.xml" ] || fail "no MIME types"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share"/applications/*.desktop || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >"$scratch/appstream.log" ||
    fail "appstreamcli validate: $(cat "$scratch/appstream.log")"
fi

[ "$failures" -eq 0 ] && echo "packages install and run"
exit $((failures > 0))
