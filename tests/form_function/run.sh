#!/usr/bin/env bash
# Builds tests/form_function/project with qvx_add_form and checks the form:
# beside the program under its OUTPUT name, both files' bytes in it, and
# made again when a file it names changes.
# usage: run.sh QVXForm.cmake QVXLIB WORK_DIR
set -euo pipefail
form_file=$1 qvxlib=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "qvx_add_form: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
cp -r "$here/project" "$work/src"
printf 'AB' > "$work/src/beside.bin"
printf 'CD' > "$work/src/made.src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DQVX_FORM_FILE="$form_file" -DQVXLIB="$qvxlib" >/dev/null
cmake --build "$work/build" >/dev/null

shows() {  # shows WHAT: the compiled form's text has both blobs as WHAT says
  local text
  text=$("$qvxlib" form text "$work/build/bin/game.dat" | tr -d ' \n')
  [[ "$text" == *"$1"* ]] || fail "the form reads $text, not $1"
}
[ -f "$work/build/bin/game.dat" ] || fail "no game.dat beside the program"
shows "Beside.Blob={4142}Made.Blob={4344}"
printf 'XY' > "$work/src/beside.bin"
printf 'ZW' > "$work/src/made.src"
cmake --build "$work/build" >/dev/null
shows "Beside.Blob={5859}Made.Blob={5A57}"
echo "qvx_add_form: ok"
