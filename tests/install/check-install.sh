#!/usr/bin/env bash
# Installs the build into a throw-away per-user prefix and checks that it
# gives a complete program folder, a launcher and a menu entry that starts it,
# and the headless watcher's service units that start it; then once more
# staged below DESTDIR, as packagers install. The prefix has a blank and a
# percent sign in its name, which the units must escape.
# Usage: check-install.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/lv 100%"
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
folder=$prefix/lib/linkvigil
for f in linkvigil linkvigil-echo linkvigil-report Carbrake.wav Chimes.wav Alert.wav linkvigil.pdf linkvigil.html; do
  [[ -s $folder/$f ]] || fail "$f missing from the program folder"
done
[[ -x $folder/linkvigil ]] || fail "the program is not executable"
[[ $(readlink -f "$prefix/bin/linkvigil") == "$(readlink -f "$folder/linkvigil")" ]] || fail "launcher does not lead to the program"
desktop=$prefix/share/applications/linkvigil.desktop
grep -qxF "Exec=\"${folder//%/%%}/linkvigil\"" "$desktop" || fail "menu entry does not start the installed program"
grep -qx 'Icon=linkvigil' "$desktop" || fail "menu entry has no icon"
[[ -s $prefix/share/icons/hicolor/scalable/apps/linkvigil.svg ]] || fail "icon missing"
for size in 16 22 24 32 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x$size/apps/linkvigil.png" | grep -q "PNG image data, $size x $size" ||
    fail "no $size px icon"
done
metainfo=$prefix/share/metainfo/net.linkvigil.Linkvigil.metainfo.xml
for page in linkvigil linkvigil-echo linkvigil-watch; do
  [[ -s $prefix/share/man/man1/$page.1 ]] || fail "manual page $page(1) missing"
done
# The menu entry and the AppStream data as the desktop's tools read them.
if command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  [[ -z $out ]] || fail "desktop-file-validate: $out"
  out=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
  grep -qE '^(W|E):' <<<"$out" && fail "appstreamcli validate: $out"
else
  echo "SKIPPED: desktop-file-validate or appstreamcli missing (desktop-file-utils, appstream)" >&2
  [[ ${CI:-} != true ]] || fail "CI validates the menu entry and the AppStream data"
fi
head -c 4 "$folder/linkvigil.pdf" | grep -q '%PDF' || fail "the guide is no PDF"
echo "install into $prefix: program folder, launcher, menu entry and icon in place"

# A packager's staged install (DESTDIR) puts everything below the stage and
# names the programs at their final place.
final=/opt/linkvigil-check-$$
stage=$tmp/stage$final
DESTDIR=$tmp/stage cmake --install "$build" --prefix "$final" >/dev/null
[[ ! -e $final ]] || { rm -rf "$final"; fail "a staged install wrote into $final"; }
grep -qx "Exec=\"$final/lib/linkvigil/linkvigil\"" "$stage/share/applications/linkvigil.desktop" || fail "staged menu entry"
[[ -L $stage/bin/linkvigil ]] || fail "staged launcher"

watch=$folder/linkvigil-watch
system_unit=$prefix/lib/systemd/system/linkvigil-watch@.service
user_unit=$prefix/lib/systemd/user/linkvigil-watch.service
if [[ ! -e $watch && ! -e $system_unit && ! -e $user_unit ]]; then
  echo "SKIPPED: this build has no linkvigil-watch, so neither it nor its units were checked" >&2
  [[ ${CI:-} != true ]] || fail "CI builds the watcher"
  exit 0
fi
[[ -x $watch ]] || fail "linkvigil-watch missing from the program folder"
[[ $(readlink -f "$prefix/bin/linkvigil-watch") == "$(readlink -f "$watch")" ]] || fail "no launcher for linkvigil-watch"
exec="\"${watch//%/%%}\" \$LINKVIGIL_WATCH_ARGS"
grep -qxF "ExecStart=$exec --log-dir %S/linkvigil/%i /etc/linkvigil/%i.ini" "$system_unit" || fail "the system unit does not start the installed watcher"
grep -qxF "ExecStart=$exec %E/linkvigil/" "$user_unit" || fail "the user unit does not start the installed watcher"
grep -q "^ExecStart=$final/lib/linkvigil/linkvigil-watch " "$stage/lib/systemd/system/linkvigil-watch@.service" || fail "staged system unit"

if ! command -v systemd-analyze >/dev/null; then
  echo "SKIPPED: systemd-analyze is missing (Debian package systemd): the units were not verified" >&2
  [[ ${CI:-} != true ]] || fail "CI needs systemd-analyze"
  exit 0
fi
"$here/verify-unit.sh" "$system_unit" linkvigil-watch@example.service || fail "the system unit"
"$here/verify-unit.sh" --user "$user_unit" linkvigil-watch.service || fail "the user unit"
mkdir "$tmp/units"
cp "$system_unit" "$tmp/units/linkvigil-watch@example.service"
# The system unit's hardening as systemd scores it: exposure 1.7 of 10 when
# written, so losing any scored option fails.
out=$(systemd-analyze security --offline=yes --threshold=17 "$tmp/units/linkvigil-watch@example.service" 2>&1) ||
  fail "the system unit is less hardened than it was:"$'\n'"$(grep -F '✗' <<<"$out")"
echo "units in place, starting the installed watcher, accepted by systemd-analyze verify, exposure ${out##*: }"
