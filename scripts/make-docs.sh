#!/usr/bin/env bash
# The API reference: installs the game library's headers (component dev)
# into the build tree and runs Doxygen over them, so the reference shows
# what a game sees. Fails on any Doxygen warning.
# usage: make-docs.sh BUILD_DIR    (writes BUILD_DIR/docs/html)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: make-docs.sh BUILD_DIR}" && pwd)
stage="$build/docs/installed"
rm -rf "$stage" "$build/docs/html"
cmake --install "$build" --component dev --prefix "$stage" >/dev/null
export QVX_DOCS_INPUT="$stage/include/qvx"
export QVX_DOCS_OUTPUT="$build/docs"
export QVX_DOCS_MAINPAGE="$src/docs/reference.md"
export QVX_DOCS_VERSION
QVX_DOCS_VERSION=$(sed -n 's/^Version: //p' "$(find "$stage" -name qvx.pc)")
(cd "$build/docs" && doxygen "$src/docs/Doxyfile")
echo "make-docs: $build/docs/html/index.html"
