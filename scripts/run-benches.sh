#!/usr/bin/env bash
# Runs every benchmark program of a build tree; each prints its own ratios.
set -euo pipefail
build=${1:-build/default}
status=0
for b in "$build"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
