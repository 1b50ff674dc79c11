#!/usr/bin/env bash
# Benchmark: round-trip times that linkvigil-echo reports against iputils
# ping, both echoing the test responder that answers after 20 ms, in one
# private network (tests/netns/netns-run.sh), and the CPU time per echo of
# each. Needs root. Prints its figures; asserts nothing.
#
# Usage: bench/echo-rtt.sh [BUILD_DIR] [ECHOES_PER_ROUND] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
count=${2:-100}
rounds=${3:-3}

if [[ "${LINKVIGIL_NETNS:-}" != 1 ]]; then
  exec "$root/tests/netns/netns-run.sh" --responder "$build/tools/responder/linkvigil-responder" \
    -- "$0" "$build" "$count" "$rounds"
fi

host=198.18.0.2 # answers after 20 ms
interval_ms=30
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TIMEFORMAT='%3U %3S'

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cpu_ms_per_echo() { awk -v n="$1" '{ u += $1; s += $2 } END { printf "%.3f", (u + s) * 1000 / n }' "$2"; }

for ((r = 1; r <= rounds; r++)); do
  { time "$build/tools/echo/linkvigil-echo" --count "$count" --interval "$interval_ms" --timeout 1000 "$host" \
      >>"$work/ours.out"; } 2>>"$work/ours.cpu"
  { time ping -n -q -c "$count" -i "0.0$((interval_ms / 10))" -W 1 "$host" >/dev/null; } 2>>"$work/ping.cpu"
  ping -n -c "$count" -i "0.0$((interval_ms / 10))" -W 1 "$host" >>"$work/ping.out"
done

total=$((count * rounds))
ours_answered=$(grep -c '^result=1' "$work/ours.out" || true)
ping_answered=$(grep -c 'time=' "$work/ping.out" || true)
ours_median=$(sed -n 's/^result=1 .* rtt=\([0-9]*\) .*/\1/p' "$work/ours.out" | median)
ping_median=$(sed -n 's/.*time=\([0-9.]*\) ms.*/\1/p' "$work/ping.out" | median)

echo "echoes: $total per program ($rounds rounds of $count, every ${interval_ms} ms, responder delay 20 ms)"
echo "answered: linkvigil-echo $ours_answered, ping $ping_answered"
echo "median round trip: linkvigil-echo ${ours_median} ms (whole ms, truncated), ping ${ping_median} ms"
awk -v a="$ours_median" -v b="$ping_median" \
  'BEGIN { d = a - b; if (d < 0) d = -d; printf "difference: %.3f ms (%s 1 ms)\n", d, d <= 1 ? "within" : "NOT within" }'
echo "CPU time per echo (user+sys, whole process incl. start-up): linkvigil-echo $(cpu_ms_per_echo "$total" "$work/ours.cpu") ms," \
  "ping $(cpu_ms_per_echo "$total" "$work/ping.cpu") ms"
