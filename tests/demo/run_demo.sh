#!/usr/bin/env bash
# The demo on the real backend under a virtual X display: it must run its
# frames, play its bounce sound (SDL's dummy audio driver) and move the ship
# right while the Right key is held, read through DirectInput.
set -u
demo=$1
out=$(mktemp)
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  '$demo' $2 --frames 400 >'$out' 2>/dev/null & pid=\$!
  sleep 1.5
  win=\$(xdotool search --name 'QVX Demo' | head -n1)
  [ -n \"\$win\" ] && xdotool windowactivate --sync \$win 2>/dev/null; xdotool windowfocus \$win 2>/dev/null
  xdotool keydown Right; sleep 1; xdotool keyup Right
  wait \$pid"
cat "$out"
line=$(cat "$out")
rm -f "$out"
[[ $line =~ ship\ at\ ([0-9]+), ]] || { echo "no report"; exit 1; }
x=${BASH_REMATCH[1]}
[[ $line == *"bounces heard"* ]] || { echo "no sound"; exit 1; }
[[ $line == *"read through DirectInput"* ]] || { echo "no keyboard"; exit 1; }
[ "$x" -gt 160 ] || { echo "ship did not move right (x=$x)"; exit 1; }
echo "ok"
