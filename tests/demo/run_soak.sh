#!/usr/bin/env bash
# usage: run_soak.sh QVXDEMO QVXTRACE FRAMES [SEED]
# The demo headless with faults injected (lost-surface storms, lost sound
# buffers, failing DirectX calls, all drawn from SEED, which is printed). It
# must run every frame; its pictures must read the same after each storm as
# before it; every exception must be one of the runtime's own and
# reach the application's exception event; and the screen's trace lines
# (each handled exception, each failed restore) must arrive through the
# trace channel, read here with qvxtrace --print. Leaks fail it under LSan.
set -u
demo=$1 trace=$2 frames=$3 seed=${4:-$(( (RANDOM << 15) | RANDOM ))}
out=$(mktemp) log=$(mktemp)
trap 'rm -f "$out" "$log"' EXIT
"$trace" --print >"$log" 2>&1 &
tpid=$!
listening=0
for _ in $(seq 50); do
  grep -q listening "$log" && { listening=1; break; }
  sleep 0.1
done
"$demo" --soak "$seed" --frames "$frames" --title 30 >"$out" 2>&1
rc=$?
summary=$(grep 'soak seed .*exceptions' "$out")
exceptions=-1
[[ $summary =~ ([0-9]+)\ exceptions ]] && exceptions=${BASH_REMATCH[1]}
traced() { grep -cv 'listening\|QStandardPaths' "$log"; }
# The viewer prints what it was sent as it gets it: wait until every
# exception's line is in (or 10 seconds have passed).
if [ $listening -eq 1 ]; then
  for _ in $(seq 100); do
    [ "$(traced)" -ge "$exceptions" ] && break
    sleep 0.1
  done
fi
kill "$tpid" 2>/dev/null
wait "$tpid" 2>/dev/null
cat "$out"
[ $rc -eq 0 ] || { echo "soak failed (exit $rc, seed $seed)"; exit 1; }
[ "$exceptions" -ge 0 ] || { echo "no soak summary"; exit 1; }
# Picture content is compared across storms (the demo fails on a change);
# with storms enough, some must have been compared.
[[ $summary =~ in\ ([0-9]+)\ storms.*\ ([0-9]+)\ picture\ checks ]] || { echo "no picture checks in the summary"; exit 1; }
[ "${BASH_REMATCH[1]}" -lt 3 ] || [ "${BASH_REMATCH[2]}" -gt 0 ] ||
  { echo "pictures were never compared across a storm (seed $seed)"; exit 1; }
grep -q 'bounces heard' "$out" || { echo "the sound never came back (seed $seed)"; exit 1; }
[[ $(grep -o '[0-9]* restores' "$out") =~ ^([0-9]+) ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] ||
  { echo "surfaces were never restored (seed $seed)"; exit 1; }
if [ $listening -eq 1 ]; then
  lines=$(traced)
  echo "trace channel: $lines lines"
  grep -v 'listening\|QStandardPaths' "$log" | sort | uniq -c | sort -rn | head -n 8
  [ "$lines" -ge "$exceptions" ] || { echo "only $lines trace lines for $exceptions exceptions"; exit 1; }
else
  echo "trace viewer did not start (another one may be listening): trace lines not checked"
fi
echo "ok"
