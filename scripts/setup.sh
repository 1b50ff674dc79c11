#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages Linkvigil needs to build, run and test,
# asking apt-get only for those that are missing (with sudo when not root).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev qt6-qpa-plugins libgl-dev
  qt6-httpserver-dev qt6-websockets-dev # the metrics endpoint (the first needs the second)
  prometheus         # promtool and a real scraper for the metrics tests
  systemd            # systemd-analyze, to check the service units
  fonts-liberation2 # metric-compatible faces for the windows' pixel layout
  iproute2 nftables iputils-ping # real-network tests and the benchmarks
  fping                          # the benchmarks compare the watcher with it
  mtr-tiny                       # the path trace test compares its hops with mtr --report
  libcap2-bin                    # setcap, for the capability test
  clang                          # the fuzz target (libFuzzer)
  clang-format                   # the formatting check
  poppler-utils                  # pdftotext and pdftoppm, to read back the outage report in its tests
  tzdata                         # the report tests' time zones (Santiago, Berlin)
  xvfb dbus-daemon x11-utils     # the desktop tests: a virtual X server, a private session bus, xwininfo
  dunst trayer                   # a real notification service and a real system tray for them
  dbus-x11                       # dbus-launch, as on a desktop: the no-bus test must not autolaunch a bus
  libsqlite3-dev                 # the history's database (History.db)
  sqlite3                        # the sqlite3 shell, to read a history by hand as the guide shows
  man-db bsdextrautils           # man --warnings and col, to check the manual pages
  desktop-file-utils appstream   # to validate the menu entry and the AppStream data
  debhelper dpkg-dev fakeroot lintian file # the Debian packages: built, checked and installed in CI
  xdotool                        # the installed window's check presses its Save button
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
((${#missing[@]})) || exit 0

sudo=()
((EUID == 0)) || sudo=(sudo)
echo "Installing: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
