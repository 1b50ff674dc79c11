#!/usr/bin/env bash
# Benchmark: the main window watching a test host every 200 ms (default 60 s)
# in a private network; prints CPU time, peak memory and the repaints during
# a 5 s wait. Needs root. Usage: bench/monitor-load.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$root/tests/netns/netns-run.sh" -- \
  env QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$build/bench/linkvigil-bench-monitor" "${2:-60}"
