#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for N seconds on a copy of its
# corpus, so the committed corpus only changes when someone chooses to.
# Every target runs even when an earlier one fails; the exit status is 1
# when any of them found a fault.
set -uo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
src=$(cd "$(dirname "$0")/.." && pwd)
# Leaks inside system libraries (fontconfig's caches and the like) are not
# ours; the same list the ASan tests use.
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
failed=()
for f in "$build"/fuzz/fuzz_*; do
  # Only programs: the build also leaves fuzz_*_autogen folders here.
  [ -f "$f" ] && [ -x "$f" ] || continue
  name=$(basename "$f")
  work="$build/fuzz-work/$name"
  mkdir -p "$work"
  if [ -d "$src/fuzz/corpus/$name" ]; then cp -n "$src/fuzz/corpus/$name"/* "$work"/ 2>/dev/null || true; fi
  echo "== $name for ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 "$work" > "$build/fuzz-work/$name.log" 2>&1; then
    failed+=("$name")
  fi
  tail -n 25 "$build/fuzz-work/$name.log"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "run-fuzzers: faults found by ${failed[*]}" >&2
  exit 1
fi
echo "run-fuzzers: every target ran ${seconds}s without a fault"
