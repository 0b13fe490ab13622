#!/usr/bin/env bash
# Installs a build into a scratch DESTDIR and checks what arrived: the
# programs with their manual pages, menu entries that desktop-file-validate
# accepts, icons, and a file-type description the MIME database takes.
# (The game library's part is checked by check-headers.sh and sdk-check.sh.)
# usage: check-install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-install.sh BUILD_DIR}
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT

DESTDIR="$dest" cmake --install "$build" --prefix /opt/qvx >/dev/null
root="$dest/opt/qvx"
fail() { echo "check-install: $*" >&2; exit 1; }

for program in Hueshelf Slideshelf qvxlib qvxtrace; do
  [ -x "$root/bin/$program" ] || fail "bin/$program missing"
  page="$root/share/man/man1/$program.1.gz"
  [ -f "$page" ] || fail "no manual page for $program"
  out=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1) || fail "$out"
  [ -z "$out" ] || fail "$program.1: $out"
done
"$root/bin/qvxlib" --help >/dev/null || fail "the installed qvxlib does not run"
# Every command qvxlib lists has its entry in the manual page.
for command in $("$root/bin/qvxlib" --help | sed -n '/^commands:/,/^$/s/^  \([a-z]*\) .*/\1/p'); do
  zcat "$root/share/man/man1/qvxlib.1.gz" | grep -q "^\.B[IR]* \"*$command" ||
    fail "qvxlib.1 does not describe qvxlib $command"
done

for app in hueshelf slideshelf; do
  entry="$root/share/applications/$app.desktop"
  [ -f "$entry" ] || fail "$app.desktop missing"
  # Hints and warnings count as failures too.
  out=$(desktop-file-validate "$entry" 2>&1) || fail "$out"
  [ -z "$out" ] || fail "$out"
  [ -f "$root/share/icons/hicolor/scalable/apps/$app.svg" ] || fail "$app icon missing"
done
grep -qx 'MimeType=application/x-qvx-hcl;' "$root/share/applications/hueshelf.desktop" || fail "Hueshelf opens no .HCL"
grep -qx 'MimeType=application/x-qvx-crl;' "$root/share/applications/slideshelf.desktop" || fail "Slideshelf opens no .CRL"
# The entries run the programs where they were installed.
grep -qx 'Exec=/opt/qvx/bin/Hueshelf %f' "$root/share/applications/hueshelf.desktop" || fail "Hueshelf's entry runs no installed program"
grep -qx 'Exec=/opt/qvx/bin/Slideshelf %f' "$root/share/applications/slideshelf.desktop" || fail "Slideshelf's entry runs no installed program"

mime="$root/share/mime"
update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database refused the file types"
for type in x-qvx-hcl x-qvx-crl; do
  [ -f "$mime/application/$type.xml" ] || fail "application/$type not in the MIME database"
done
for line in 'application/x-qvx-hcl:*.hcl' 'application/x-qvx-hcl:*.qvx' 'application/x-qvx-crl:*.crl'; do
  grep -qxF "$line" "$mime/globs" || fail "no file type for ${line#*:}"
done
# Installed for one user, as `make install PREFIX=~/.local` does, with
# ~/.local/bin not on PATH: the desktop still offers the editors for our
# files (GIO drops an entry whose program it cannot find).
if command -v gio >/dev/null 2>&1; then
  home="$dest/home/.local"
  cmake --install "$build" --prefix "$home" >/dev/null 2>&1
  for pair in x-qvx-hcl:hueshelf x-qvx-crl:slideshelf; do
    out=$(XDG_DATA_HOME="$home/share" PATH=/usr/bin:/bin gio mime "application/${pair%%:*}" 2>&1)
    grep -q "${pair#*:}.desktop" <<<"$out" || fail "a per-user install offers no ${pair#*:} for ${pair%%:*}: $out"
  done
fi
echo "check-install: ok"
