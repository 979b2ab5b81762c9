#!/usr/bin/env bash
# Checks the include rules no compiler enforces: the headless layers use no
# Qt Widgets, and only the decoder module includes FFmpeg's decoding headers
# (the emulator's encoder, benchmarks' references and test support aside), and
# only the MP4 export includes FFmpeg's format (muxing) headers.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=0
headless=(platform protocol client/sessions client/modem client/media/engine viewer_control/engine client/kaviroctl)
existing=()
for dir in "${headless[@]}"; do [ -d "$dir" ] && existing+=("$dir"); done

widgets=$(git grep -nE '#include <(QtWidgets/|Q(Widget|Dialog|Application|MessageBox|Label|PushButton|MainWindow|Layout|[HV]BoxLayout|GridLayout|LineEdit|ComboBox|AbstractButton|Frame|Painter)\b)' \
  -- "${existing[@]/%//*.cpp}" "${existing[@]/%//*.h}" || true)
links=$(git grep -nE 'Qt6?::Widgets' -- "${existing[@]/%//CMakeLists.txt}" || true)
if [ -n "$widgets$links" ]; then
  echo "Qt Widgets in a headless layer:"
  printf '%s\n' "$widgets" "$links" | grep -v '^$' | sed 's/^/  /'
  failed=1
fi

decoding=$(git grep -lE '#include <libavcodec/' -- '*.cpp' '*.h' \
  | grep -vE '(_test\.cpp$|/testing/|test_support\.|^tests/|^bench/|^fuzz/|^tools/)' \
  | grep -vx 'viewer_control/engine/mpeg4_decoder.cpp' || true)
if [ -n "$decoding" ]; then
  echo "FFmpeg's decoding headers outside the decoder module:"
  printf '  %s\n' $decoding
  failed=1
fi

# The MP4 export is the one module that muxes.
muxing=$(git grep -lE '#include <libavformat/' -- '*.cpp' '*.h' \
  | grep -vE '(_test\.cpp$|/testing/|test_support\.|^tests/|^bench/|^fuzz/|^tools/)' \
  | grep -vx 'client/media/engine/mp4_export.cpp' || true)
if [ -n "$muxing" ]; then
  echo "FFmpeg's format headers outside the MP4 export module:"
  printf '  %s\n' $muxing
  failed=1
fi

[ "$failed" = 0 ] && echo "layers: include rules hold"
exit "$failed"
