#!/usr/bin/env bash
# Benchmark: the mean round trip that linkvigil-watch's histogram gives for
# the responder answering after 30 ms (198.18.0.22), every 200 ms for 30 s,
# against iputils ping's mean to the same host right after (150 echoes,
# one after the other: run at the same time, the two sets of echoes meet
# at the responder and the means drift apart). Needs root.
#
# Usage: bench/watch-rtt.sh [BUILD_DIR]
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
enter_test_network "$0" "${1:-}"

host=198.18.0.22
warm_up "$host"
write_settings "$work/slow.ini" "$host" 200 1000
start watch "$watch" --metrics "$port" "$work/slow.ini"
sleep 30
stop_watch
ping -n -q -i 0.2 -c 150 "$host" >"$work/ping.out"

count=$(metric linkvigil_round_trip_seconds_count)
ours=$(awk -v s="$(metric linkvigil_round_trip_seconds_sum)" -v n="$count" 'BEGIN { printf "%.3f", s * 1000 / n }')
read -r theirs spread < <(sed -n 's|^rtt min/avg/max/mdev = [0-9.]*/\([0-9.]*\)/[0-9.]*/\([0-9.]*\) ms|\1 \2|p' "$work/ping.out")
echo "echoes: linkvigil-watch $count answered of $(metric linkvigil_echo_requests_total)," \
  "then ping $(grep -o '[0-9]* received' "$work/ping.out") of 150"
echo "mean round trip: linkvigil-watch ${ours} ms (histogram sum/count), ping ${theirs} ms"
echo "ping's $(grep '^rtt ' "$work/ping.out")"
awk -v a="$ours" -v b="$theirs" -v sd="$spread" 'BEGIN {
  d = a - b; printf "difference: %+.3f ms (goal within 0.1 ms: %s)\n", d, (d < 0 ? -d : d) <= 0.1 ? "met" : "NOT met"
  printf "standard error of the ping mean (mdev / sqrt(150)): %.3f ms\n", sd / sqrt(150) }'
