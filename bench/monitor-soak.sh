#!/usr/bin/env bash
# Benchmark: the windows watching a host every 100 ms whose answers cycle
# between none lost and 30 % lost (so the alerts come and go), for MINUTES
# (default 30), in a private network; prints the resident memory every 30 s
# and its growth after the first 5 minutes. Needs root.
# Usage: bench/monitor-soak.sh [BUILD_DIR] [MINUTES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$root/tests/netns/netns-run.sh" \
  --responder "$build/tools/responder/linkvigil-responder" -- \
  env QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
  "$build/bench/linkvigil-bench-soak" "$build/program" 198.18.0.21 "${2:-30}"
