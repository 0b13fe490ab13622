#!/usr/bin/env bash
# Checks the game library the way a game author gets it, in two ways:
# 1. installed into a staging prefix (DESTDIR), 2. the Debian packages of
# make package unpacked with dpkg-deb -x (not installed). Against each root
# alone it builds examples/template with CMake and runs its headless test
# (a few hundred frames, the sprite drawn in each), and builds and runs
# examples/pkgconfig/hello.cpp with pkg-config. Then lintian checks the
# packages: no errors, and no warnings but those the README accepts.
# usage: sdk-check.sh BUILD_DIR   (packages from BUILD_DIR/packages)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: sdk-check.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
say() { echo "sdk-check: $*"; }
fail() { echo "sdk-check: $*" >&2; exit 1; }
# Runs a command quietly, showing its output only when it fails.
quiet() {
  local log="$work/last.log"
  "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}
# No display, no sound device: what CI machines have.
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM QVX_BACKEND=headless "$@"; }

# check_root ROOT NAME: a game and a one-file program built against ROOT/usr.
check_root() {
  local usr="$1/usr" name=$2
  local game="$work/game-$name"
  quiet cmake -S "$src/examples/template" -B "$game" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$usr" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  # Found there and nowhere else (not in this tree, not in /usr).
  local found
  found=$(sed -n 's/^QVX_DIR:PATH=//p' "$game/CMakeCache.txt")
  [[ "$found" == "$usr"/* ]] || fail "$name: find_package(QVX) found $found, not $usr"
  quiet cmake --build "$game"
  [ -f "$game/game.dfm" ] || fail "$name: qvx_add_form left no game.dfm beside the game"
  (cd "$game" && headless ctest --output-on-failure) >"$work/ctest.log" 2>&1 ||
    { cat "$work/ctest.log" >&2; fail "$name: the template's headless test failed"; }
  say "$name: template built against $usr alone, 300 frames drawn headless"

  local pc
  pc=$(find "$usr" -name qvx.pc -path '*/pkgconfig/*')
  [ -n "$pc" ] || fail "$name: no qvx.pc"
  # shellcheck disable=SC2046
  quiet ${CXX:-c++} "$src/examples/pkgconfig/hello.cpp" -o "$work/hello-$name" \
    $(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags --libs qvx)
  local out
  out=$(headless "$work/hello-$name") || fail "$name: the pkg-config program failed: $out"
  [ "$out" = "hello: 100 frames" ] || fail "$name: the pkg-config program printed \"$out\""
  say "$name: one-file program built with pkg-config ran"
}

# 1. The staged install.
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
check_root "$work/stage" staged

# 2. The packages, unpacked.
debs=("$build"/packages/*.deb)
[ -f "${debs[0]}" ] || fail "no packages in $build/packages (make package makes them)"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$work/root"
  say "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version): $(dpkg-deb -f "$deb" Depends)"
done
for package in qvx-asset-tools libqvx-dev; do
  ls "$build"/packages/"${package}"_*.deb >/dev/null 2>&1 || fail "no $package package"
done
check_root "$work/root" packages

# 3. lintian: the warnings the README accepts are its list under
# "Accepted lintian warnings" ("- `tag`: reason").
accepted=$(sed -n '/^### Accepted lintian warnings/,/^#/s/^- `\([a-z0-9-]*\)`.*/\1/p' "$src/README.md" | paste -sd, -)
lintian --fail-on error,warning ${accepted:+--suppress-tags "$accepted"} "${debs[@]}" ||
  fail "lintian found errors or warnings the README does not accept"
say "lintian: no errors, no warnings but the accepted ones (${accepted:-none})"
