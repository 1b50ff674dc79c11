#!/usr/bin/env bash
# Checks a service unit with systemd-analyze verify, which works without
# systemd running. It warns and still succeeds on unknown keys or bad
# values, so any output fails. The unit is verified under the name AS (a
# template as an instance, e.g. linkvigil-watch@example.service); --user
# verifies it for the user manager, which wants a runtime folder.
# Usage: verify-unit.sh [--user] UNIT AS
set -euo pipefail
scope=()
if [[ ${1:-} == --user ]]; then
  scope=(--user)
  shift
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/units" "$work/run"
cp "$1" "$work/units/$2"
out=$(XDG_RUNTIME_DIR=$work/run systemd-analyze "${scope[@]}" verify --man=no "$work/units/$2" 2>&1) || {
  echo "systemd-analyze: $out" >&2
  exit 1
}
[[ -z $out ]] || { echo "systemd-analyze: $out" >&2; exit 1; }
