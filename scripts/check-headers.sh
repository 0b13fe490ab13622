#!/usr/bin/env bash
# Installs the game library (component dev) into a scratch prefix in the
# build tree and compiles every installed header on its own, with only what
# qvx.pc gives: a public header that includes a private one, or leans on an
# include it does not make itself, fails here. Compiles go through ccache
# when it is there (the paths stay the same from run to run).
# usage: check-headers.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-headers.sh BUILD_DIR}" && pwd)
work="$build/sdk-headers"
rm -rf "$work"
mkdir -p "$work/tu"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --component dev --prefix "$work/prefix" >/dev/null
pc=$(find "$work/prefix" -name qvx.pc)
[ -n "$pc" ] || { echo "check-headers: qvx.pc was not installed" >&2; exit 1; }
include="$work/prefix/include/qvx"
headers=$(cd "$include" && find . -name '*.h' | sed 's#^\./##' | sort)
[ -n "$headers" ] || { echo "check-headers: no headers installed" >&2; exit 1; }

export CHECK_CXX="$(command -v ccache || true) ${CXX:-c++}"
export CHECK_FLAGS="$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags qvx) -Wall -Wextra -Werror"
export CHECK_TU="$work/tu"
# One compiler per core; each failing header prints its name and errors.
compile() {
  local tu="$CHECK_TU/${1//\//_}.cpp"
  echo "#include \"$1\"" > "$tu"
  $CHECK_CXX $CHECK_FLAGS -c "$tu" -o "$tu.o" 2>&1 | sed "s#^#$1: #"
}
export -f compile
errors=$(printf '%s\n' $headers | xargs -P "$(nproc)" -I{} bash -c 'compile "$1"' _ {})
if [ -n "$errors" ]; then
  printf '%s\n' "$errors" >&2
  echo "check-headers: the headers named above do not compile on their own" >&2
  exit 1
fi
echo "check-headers: $(echo "$headers" | wc -l) headers compile on their own"
