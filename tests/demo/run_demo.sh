#!/usr/bin/env bash
# The demo on the real backend under a virtual X display, with its surfaces
# lost every few frames: it must run its frames, play its bounce sound
# (SDL's disk audio driver writes what is heard to a file, which must not
# be silent), move the ship right while the Right key is held and fire on
# Space (read through DirectInput), and dump a frame that shows its yellow
# ship on its blue backdrop. It waits on what the demo does, never on time,
# but for how long the keys are held.
set -u
demo=$1
shift
out=$(mktemp)
dump=$(mktemp --suffix=.bmp)
heard=$(mktemp --suffix=.raw)
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$heard xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  '$demo' $* --title 10 --frames 400 --lose-every 25 --dump-frame 30 '$dump' >'$out' 2>/dev/null & pid=\$!
  # Keys go in once the game runs its frames: frame 30 has been dumped.
  for _ in \$(seq 300); do
    [ -s '$dump' ] && break
    sleep 0.1
  done
  win=\$(xdotool search --onlyvisible --name 'QVX Demo' 2>/dev/null | head -n1)
  [ -n \"\$win\" ] && xdotool windowactivate --sync \$win 2>/dev/null; xdotool windowfocus --sync \$win 2>/dev/null
  xdotool keydown Right; sleep 1; xdotool keyup Right; xdotool keydown space; sleep 0.3; xdotool keyup space
  wait \$pid"
rc=$?
cat "$out"
line=$(cat "$out")
rm -f "$out"
[ $rc -eq 0 ] || { echo "demo failed ($rc)"; exit 1; }
[[ $line =~ ship\ at\ ([0-9]+), ]] || { echo "no report"; exit 1; }
x=${BASH_REMATCH[1]}
[[ $line == *"bounces heard"* ]] || { echo "no sound"; exit 1; }
[[ $line =~ ([0-9]+)\ shots ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] || { echo "Space did not fire"; exit 1; }
python3 - "$heard" <<'PY' || exit 1
import struct, sys
d = open(sys.argv[1], 'rb').read()
s = struct.unpack('<%dh' % (len(d) // 2), d[:len(d) // 2 * 2])
assert sum(1 for v in s if abs(v) > 500) > 1000, 'the sound output is silent (%d samples)' % len(s)
PY
rm -f "$heard"
[[ $line == *"read through DirectInput"* ]] || { echo "no keyboard"; exit 1; }
[[ $line =~ ([0-9]+)\ restores ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] || { echo "surfaces never lost"; exit 1; }
[ "$x" -gt 170 ] || { echo "ship did not move right (x=$x)"; exit 1; }
python3 - "$dump" <<'PY' || exit 1
import struct, sys
d = open(sys.argv[1], 'rb').read()
w, h, planes, bpp = struct.unpack('<iiHH', d[18:30])
assert d[:2] == b'BM' and bpp == 24, 'not a 24-bit BMP'
off = struct.unpack('<I', d[10:14])[0]
stride = (w * 3 + 3) // 4 * 4
px = [d[off + y * stride + x * 3: off + y * stride + x * 3 + 3] for y in range(abs(h)) for x in range(w)]
yellow = sum(1 for p in px if p[2] > 200 and p[1] > 200 and p[0] < 80)
blue = sum(1 for p in px if p[0] > p[2] + 40)
assert yellow > 20, 'no ship in the frame'
assert blue > len(px) // 2, 'no backdrop in the frame'
PY
rm -f "$dump"
echo "ok"
