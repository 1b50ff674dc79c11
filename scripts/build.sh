#!/usr/bin/env bash
# Configures and builds Linkvigil. Usage: build.sh [--sanitize]
# Builds into build/ (or build-sanitize/ with AddressSanitizer and
# UndefinedBehaviorSanitizer) and prints the build folder's path.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLINKVIGIL_WERROR=ON)
if [[ "${1:-}" == --sanitize ]]; then
  # A debug build, so that Qt's own checks in its headers run as well.
  build=build-sanitize
  # The benchmarks measure the optimised build; they are not built here.
  options=(-DCMAKE_BUILD_TYPE=Debug -DLINKVIGIL_SANITIZE=ON -DLINKVIGIL_WERROR=ON -DLINKVIGIL_BENCH=OFF)
fi
cmake -S . -B "$build" -G Ninja "${options[@]}" >&2
cmake --build "$build" >&2
echo "$PWD/$build"
