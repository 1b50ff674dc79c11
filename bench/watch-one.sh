#!/usr/bin/env bash
# Benchmark: linkvigil-watch watching one host (198.18.0.1) every 200 ms
# for 60 s beside iputils ping doing the same in the same private network;
# prints the CPU time and peak RSS of both. Needs root.
#
# Usage: bench/watch-one.sh [BUILD_DIR]
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
enter_test_network "$0" "${1:-}"

host=198.18.0.1
warm_up "$host"
write_settings "$work/one.ini" "$host" 200 1000
start watch "$watch" "$work/one.ini"
start ping ping -n -q -i 0.2 -w 61 "$host"
sleep 60
stop watch TERM
stop ping INT # its summary: what -w 60 would have printed

echo "ping echoes: $(grep -o '[0-9]* packets transmitted, [0-9]* received' "$work/ping.out")"
resources watch
watch_cpu=$cpu_s watch_rss=$rss_mb
resources ping
goal "peak RSS of linkvigil-watch under 12 MB" "$watch_rss < 12"
goal "CPU of linkvigil-watch within 3x of ping" "$watch_cpu <= 3 * $cpu_s"
awk -v a="$watch_cpu" -v b="$cpu_s" 'BEGIN { printf "CPU ratio linkvigil-watch / ping: %.2f\n", a / b }'
