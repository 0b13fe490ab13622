#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for N seconds on a copy of its
# corpus, so the committed corpus only changes when someone chooses to.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
for f in "$build"/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work="$build/fuzz-work/$name"
  mkdir -p "$work"
  if [ -d "$src/fuzz/corpus/$name" ]; then cp -n "$src/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true; fi
  echo "== $name for ${seconds}s"
  "$f" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 "$work" 2>&1 | tail -n 25
done
