#!/usr/bin/env bash
# The Debian packages as a user gets them, on this machine (root, CI):
# lintian finds nothing that debian/ does not name with its reason; the
# watcher's package depends on no desktop library; both install with apt,
# linkvigil-watch --help and man work, linkvigil-echo answers a test host in
# a private namespace, the system unit's command watches a host as
# installed, the window started offscreen by a normal user keeps its
# settings in that user's ~/.config/linkvigil/ and nothing beside the
# program; and after a purge nothing of theirs is left outside the user's
# folders.
# Usage: check-packages.sh DEB-FOLDER
set -euo pipefail
debs=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
((EUID == 0)) || fail "installing packages needs root"
desktop_deb=$(ls "$debs"/linkvigil_*.deb)
watch_deb=$(ls "$debs"/linkvigil-watch_*.deb)

echo "== lintian"
out=$(lintian --display-info "$desktop_deb" "$watch_deb" 2>&1 | grep -v 'running with root privileges') || true
while IFS= read -r line; do echo "  $line"; done <<<"$out"
grep -qE '^[EW]: ' <<<"$out" && fail "lintian reports errors or warnings that debian/ does not name"

echo "== sizes and dependencies"
for deb in "$desktop_deb" "$watch_deb"; do
  echo "  $(basename "$deb"): $(du -k "$deb" | cut -f1) kB; installed $(dpkg-deb -f "$deb" Installed-Size) kB"
  echo "    Depends: $(dpkg-deb -f "$deb" Depends)"
done
dpkg-deb -f "$watch_deb" Depends | grep -qiE 'qt6widgets|multimedia|qt6svg|qt6dbus' &&
  fail "linkvigil-watch depends on a desktop library"
for deb in "$desktop_deb" "$watch_deb"; do
  setid=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-.*[sS]/ { print $NF }')
  [[ -z $setid ]] || fail "$(basename "$deb") has a set-user-ID or set-group-ID file: $setid"
done

# The normal user of the window's check, made before the snapshot below.
user=lvpkgtest
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)

# What a purge must leave as it was: every file outside the users' homes,
# /tmp and the package manager's own records.
snapshot() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp -o -path /home \
    -o -path /root -o -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache -o -path /var/log \
    -o -path "$debs" -o -path /var/tmp -o -path /work \) -prune -o -print 2>/dev/null | sort
}
snapshot >/tmp/lv-before.txt

echo "== install"
apt-get install -y -qq "$desktop_deb" "$watch_deb" >/dev/null
ldd /usr/lib/linkvigil/linkvigil-watch | grep -iE 'Widgets|Multimedia|Svg|DBus' &&
  fail "linkvigil-watch loads a desktop library"
linkvigil-watch --help | head -n 1
man -w linkvigil-watch linkvigil-echo linkvigil >/dev/null || fail "a manual page is missing"
"$here/../netns/netns-run.sh" -- linkvigil-echo 192.0.2.1 || fail "linkvigil-echo got no answer from the test host"

echo "== the system unit, as installed"
# The unit is verified, then its own command runs as systemd would start
# instance "ci", on the settings file the admin writes. The runner makes
# systemd's /var/lib/private where it is missing; it goes after the purge.
unit=/lib/systemd/system/linkvigil-watch@.service
"$here/verify-unit.sh" "$unit" linkvigil-watch@ci.service || fail "the installed system unit"
[[ -e /var/lib/private ]] && made_private= || made_private=yes
mkdir -p /etc/linkvigil
printf '%s\n' '[Addresses]' 'Count=1' 'Address01=192.0.2.1' '[Ping]' 'Interval=500' \
  '[Logging]' 'UseLogging=1' 'LogFile=Connect.log' >/etc/linkvigil/ci.ini
"$here/../netns/netns-run.sh" -- bash "$here/run-system-unit.sh" "$unit" ci 4 ||
  fail "the system unit's watcher did not work as installed"
# The settings file is the admin's, which a purge leaves; the state is the
# package's, which a purge removes.
rm -rf /etc/linkvigil

echo "== the window, as a normal user"
rm -rf "$home/.config/linkvigil" "$home/.local/state/linkvigil"
# In the test network, so that nothing it might look up leaves this machine;
# it saves its settings with the button and the question's Enter.
"$here/../netns/netns-run.sh" -- runuser -u "$user" -- env HOME="$home" \
  bash "$here/save-settings.sh" /usr/bin/linkvigil || fail "the window could not be started and saved"
[[ -s $home/.config/linkvigil/Linkvigil.ini ]] || fail "the settings are not in ~/.config/linkvigil/"
[[ -d $home/.local/state/linkvigil ]] || fail "no ~/.local/state/linkvigil/"
[[ $(stat -c %U "$home/.config/linkvigil/Linkvigil.ini") == "$user" ]] || fail "the settings file is not the user's"
[[ ! -e /usr/lib/linkvigil/Linkvigil.ini ]] || fail "the window wrote beside the program"
echo "  settings in $home/.config/linkvigil/Linkvigil.ini"

echo "== purge"
apt-get purge -y -qq linkvigil linkvigil-watch >/dev/null
[[ -z $made_private ]] || rmdir /var/lib/private || fail "the purge left: $(ls -A /var/lib/private)"
snapshot >/tmp/lv-after.txt
left=$(comm -13 /tmp/lv-before.txt /tmp/lv-after.txt)
[[ -z $left ]] || fail "left after the purge:"$'\n'"$left"
userdel -r "$user" 2>/dev/null || true
echo "all package checks hold"
