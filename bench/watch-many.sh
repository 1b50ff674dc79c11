#!/usr/bin/env bash
# Benchmark: one linkvigil-watch watching 1000 hosts (the kernel-answered
# 198.18.4.0 .. 198.18.7.231), each every 1000 ms, for 60 s in the private
# network; prints its CPU share and peak RSS, then from a last scrape of its
# metrics the echo totals and every host whose replies are not its
# requests or one fewer (one in flight). Needs root.
#
# Usage: bench/watch-many.sh [BUILD_DIR]
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
enter_test_network "$0" "${1:-}"

hosts=1000
mkdir "$work/hosts"
for ((i = 0; i < hosts; i++)); do
  printf -v file '%s/hosts/%04d.ini' "$work" "$i"
  write_settings "$file" "198.18.$((4 + i / 256)).$((i % 256))" 1000 1000
done
warm_up 198.18.4.1
start watch "$watch" --metrics "$port" "$work/hosts"
sleep 60
stop_watch

resources watch
goal "CPU under 5 % of one core" "$share < 5"
goal "peak RSS under 80 MB" "$rss_mb < 80"
awk -v want="$hosts" '
  /^linkvigil_echo_(requests|replies|losses)_total\{/ {
    split($1, part, "{"); family = part[1]; host = part[2]
    sub(/^linkvigil_echo_/, "", family); sub(/_total$/, "", family); sub(/}$/, "", host)
    n[family, host] = $2; total[family] += $2; hosts[host]
  }
  END {
    min = -1
    for (h in hosts) {
      q = n["requests", h]; r = n["replies", h]; count++
      if (min < 0 || r < min) min = r
      if (r > max) max = r
      if (r != q && r != q - 1) bad[++nbad] = h " requests " q " replies " r " losses " n["losses", h]
    }
    printf "hosts in the metrics: %d (of %d)\n", count, want
    printf "sums: requests %d, replies %d, losses %d\n", total["requests"], total["replies"], total["losses"]
    printf "replies per host: %d to %d (about 60 wanted)\n", min, max
    printf "hosts whose replies are not their requests or one fewer: %d\n", nbad
    for (i = 1; i <= nbad; i++) print "  " bad[i]
  }' "$work/metrics"
