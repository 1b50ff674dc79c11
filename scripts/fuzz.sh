#!/usr/bin/env bash
# Builds the libFuzzer target with clang and runs it for a bounded time
# (seconds, default 30) on a copy of the seed corpus; fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DLINKVIGIL_FUZZ=ON -DLINKVIGIL_WERROR=ON >/dev/null
cmake --build build-fuzz >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
cp tests/fuzz/corpus/* "$work/corpus/"
if ! build-fuzz/tests/fuzz/fuzz_icmpwire -max_total_time="$seconds" -artifact_prefix="$work/" \
  "$work/corpus" >"$work/log" 2>&1; then
  tail -n 40 "$work/log" >&2
  echo "fuzz_icmpwire: FOUND A FAULT (reproducer in the log above)" >&2
  exit 1
fi
echo "fuzz_icmpwire: $(grep -E '^Done' "$work/log"), no finding"
