#!/usr/bin/env bash
# Screenshot of Slideshelf on a virtual display, with a library of three
# slides open and the second one shown.
#   scripts/screenshot-slideshelf.sh OUT.png
# The editor is started through the test launcher
# (tests/slideshelf/screenshot_launcher.cpp), which builds the library
# through the editor's own commands; the editor itself reads no command
# line. Needs xvfb, xauth and imagemagick (scripts/install-deps.sh).
# BUILD=build/ci picks another build tree; WAIT the seconds before the shot.
set -euo pipefail

out=${1:?usage: screenshot-slideshelf.sh OUT.png}
build=${BUILD:-build/default}
wait=${WAIT:-3}
program="$build/tests/slideshelf/slideshelf_screenshot"

if [ ! -x "$program" ]; then
  preset=$(basename "$build")
  [ -d "$build" ] || cmake --preset "$preset"
  cmake --build "$build" --target slideshelf_screenshot
fi

out=$(realpath -m "$out")
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  out=$1; wait=$2; program=$3
  QT_QPA_PLATFORM=xcb "$program" &
  pid=$!
  sleep "$wait"
  import -window root "$out"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
' screenshot "$out" "$wait" "$program"
echo "screenshot: $out"
