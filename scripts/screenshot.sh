#!/usr/bin/env bash
# Screenshot of an editor on a virtual display.
#   scripts/screenshot.sh hueshelf OUT.png [LIBRARY.HCL]
#   scripts/screenshot.sh slideshelf OUT.png
# With a library, Hueshelf is started through the test launcher
# (tests/hueshelf/screenshot_launcher.cpp), which opens it with File > Load
# with no recent-files entry left behind. Slideshelf is always started
# through its test launcher (tests/slideshelf/screenshot_launcher.cpp),
# which builds a small library with the editor's commands and shows a slide. Needs xvfb, xauth and imagemagick
# (scripts/install-deps.sh). BUILD=build/ci picks another build tree.
set -euo pipefail

app=${1:?usage: screenshot.sh hueshelf|slideshelf OUT.png [LIBRARY.HCL]}
out=${2:?usage: screenshot.sh hueshelf|slideshelf OUT.png [LIBRARY.HCL]}
library=${3:-}
build=${BUILD:-build/default}
wait=${WAIT:-3}

case "$app" in
  hueshelf)
    if [ -n "$library" ]; then
      target=hueshelf_screenshot
      program=("$build/tests/hueshelf/hueshelf_screenshot" "$(realpath "$library")")
    else
      target=Hueshelf
      program=("$build/hueshelf/Hueshelf")
    fi ;;
  slideshelf)
    target=slideshelf_screenshot
    program=("$build/tests/slideshelf/slideshelf_screenshot") ;;
  *) echo "screenshot.sh: unknown program '$app' (hueshelf or slideshelf)" >&2; exit 2 ;;
esac

if [ ! -x "${program[0]}" ]; then
  preset=$(basename "$build")
  [ -d "$build" ] || cmake --preset "$preset"
  cmake --build "$build" --target "$target"
fi

out=$(realpath -m "$out")
mkdir -p "$(dirname "$out")"
# The program runs in the background on the virtual display; the shot is
# taken once it has had time to draw, then the program is stopped.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  out=$1; wait=$2; shift 2
  QT_QPA_PLATFORM=xcb "$@" &
  pid=$!
  sleep "$wait"
  import -window root "$out"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' screenshot "$out" "$wait" "${program[@]}"
echo "screenshot: $out"
