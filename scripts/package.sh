#!/usr/bin/env bash
# Builds the Debian packages linkvigil and linkvigil-watch from this tree,
# as a packager does (dpkg-buildpackage -b -us -uc: debhelper, the CMake
# build, hardening), into OUT (default build-deb/), with the build's log.
# A copy of the tree is built: dpkg-buildpackage writes beside its source.
# Usage: package.sh [OUT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build-deb}")
"$root/scripts/setup.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/linkvigil"
# The tree as git sees it: tracked files that are there, and new ones.
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [[ -e $f ]] && printf '%s\0' "$f"; done | tar --null -T - -cf -) |
  tar -C "$work/linkvigil" -xf -
echo "Building the packages in $work/linkvigil ..." >&2
if ! (cd "$work/linkvigil" && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)" dpkg-buildpackage -b -us -uc) \
  >"$work/build.log" 2>&1; then
  tail -n 40 "$work/build.log" >&2
  echo "dpkg-buildpackage failed" >&2
  exit 1
fi
mkdir -p "$out"
rm -f "$out"/*.deb
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$work/build.log" "$out/"
ls -l "$out"/*.deb >&2
