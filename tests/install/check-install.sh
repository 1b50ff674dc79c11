#!/usr/bin/env bash
# Installs the build into a throw-away per-user prefix and checks that it
# gives a complete program folder, a launcher and a menu entry that starts it.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
folder=$prefix/lib/linkvigil
for f in linkvigil linkvigil-echo Carbrake.wav Chimes.wav Alert.wav linkvigil.pdf linkvigil.html; do
  [[ -s $folder/$f ]] || fail "$f missing from the program folder"
done
[[ -x $folder/linkvigil ]] || fail "the program is not executable"
[[ $(readlink -f "$prefix/bin/linkvigil") == "$(readlink -f "$folder/linkvigil")" ]] || fail "launcher does not lead to the program"
desktop=$prefix/share/applications/linkvigil.desktop
grep -qx "Exec=\"$folder/linkvigil\"" "$desktop" || fail "menu entry does not start the installed program"
grep -qx 'Icon=linkvigil' "$desktop" || fail "menu entry has no icon"
[[ -s $prefix/share/icons/hicolor/scalable/apps/linkvigil.svg ]] || fail "icon missing"
head -c 4 "$folder/linkvigil.pdf" | grep -q '%PDF' || fail "the guide is no PDF"
echo "install into $prefix: program folder, launcher, menu entry and icon in place"
