#!/usr/bin/env bash
# usage: run_restore_frames.sh QVXDEMO
# The demo headless, its surfaces lost every 10 frames: a title frame and a
# game frame after restores must be the very frames a run without losses
# shows (the demo draws the same frames given the same frame numbers).
set -u
demo=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
status=0
for mode in "--mode 320x240x8" "--mode 640x480x16 --window"; do
  for frame in 15 52; do
    for lose in 0 10; do
      # shellcheck disable=SC2086
      "$demo" --headless --skip-intro $mode --title 40 --frames 60 --lose-every $lose --dump-frame $frame "$dir/$lose.bmp" \
        >/dev/null || { echo "demo failed ($mode, frame $frame)"; exit 1; }
    done
    if cmp -s "$dir/0.bmp" "$dir/10.bmp"; then
      echo "ok: $mode, frame $frame"
    else
      echo "differs after restores: $mode, frame $frame"
      status=1
    fi
  done
done
exit $status
