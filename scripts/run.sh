#!/usr/bin/env bash
# Quick start: installs what is missing, builds, and starts Linkvigil from
# its program folder (build/program).
set -euo pipefail
here=$(dirname "$0")
"$here/setup.sh"
build=$("$here/build.sh")
exec "$build/program/linkvigil" "$@"
