#!/usr/bin/env bash
# Benchmark: the watcher's start-up and the report beside a large shared
# ledger, in the private network. Two folders of settings files whose hosts
# share one Outages.csv: 1000 hosts beside a 5 MB ledger, and 10 hosts
# beside a 200 MB one (with a 200 MB outage file of an earlier version
# beside it). For each it prints the time from the start until every host
# has sent an echo (from the metrics) and the peak RSS then; then the time
# and peak RSS of a report of one host from the 200 MB ledger, for a month
# and for "0001-01-01..". Needs root.
#
# Usage: bench/ledger-load.sh [BUILD_DIR]
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
enter_test_network "$0" "${1:-}"

# ledger FILE MEGABYTES: rows of 1000 hosts (198.18.4.0 ...), one outage or
# gap every few seconds, ending now.
ledger() {
  awk -v bytes="$(($2 * 1000 * 1000))" -v now="$(date +%s)" 'BEGIN {
    print "kind,start,end,duration_s,host,address,echoes_lost,first_status,cause,causes_seen,gateway,interface,note\r"
    rows = int(bytes / 168); t = now - rows * 2
    for (i = 0; i < rows; i++) {
      h = i % 1000; host = sprintf("198.18.%d.%d", 4 + int(h / 256), h % 256)
      t += 2; s = strftime("%Y-%m-%dT%H:%M:%S.000+00:00", t, 1); e = strftime("%Y-%m-%dT%H:%M:%S.000+00:00", t + 3, 1)
      if (i % 50 == 0)
        printf "gap,%s,%s,3.000,%s,%s,0,,,,,,Linkvigil was held up\r\n", s, e, host, host
      else
        printf "outage,%s,%s,3.000,%s,%s,3,Request timed out,Beyond the gateway,Beyond the gateway,198.51.100.254,c0,\r\n", s, e, host, host
    }
  }' >"$1"
}

# startup NAME HOSTS MEGABYTES: starts a watcher of HOSTS hosts beside a
# ledger of MEGABYTES and prints when every host has sent an echo.
startup() {
  local name=$1 hosts=$2 folder=$work/$1 begin waited=0 sent rss
  mkdir "$folder"
  for ((i = 0; i < hosts; i++)); do
    printf -v file '%s/%04d.ini' "$folder" "$i"
    write_settings "$file" "198.18.$((4 + i / 256)).$((i % 256))" 1000 1000
  done
  ledger "$folder/Outages.csv" "$3"
  [[ "$name" != large ]] || head -c 200000000 /dev/zero | tr '\0' 'x' >"$folder/Outages.csv.open"
  echo "$name: $hosts hosts, ledger $(du -m "$folder/Outages.csv" | cut -f1) MB"
  begin=$(date +%s%N)
  start "$name" "$watch" --metrics "$port" "$folder"
  while ((waited < 3000)); do
    sent=$(curl -sf "http://127.0.0.1:$port/metrics" |
      awk '/^linkvigil_echo_requests_total\{/ && $NF > 0 { n++ } END { print n + 0 }') || sent=0
    ((sent < hosts)) || break
    sleep 0.05
    waited=$((waited + 1))
  done
  local ms=$((($(date +%s%N) - begin) / 1000000))
  rss=$(awk '/^VmHWM:/ { printf "%.1f", $2 * 1024 / 1e6 }' "/proc/$(pgrep -P "${timer[$name]}")/status")
  echo "$name: every host had sent an echo after $ms ms; peak RSS $rss MB"
  stop "$name" TERM
}

warm_up 198.18.4.1
startup many 1000 5
startup large 10 200

report() {
  local out
  out=$( { /usr/bin/time -f '%e %M' "$watch" --report "$1" "$work/large/0000.ini" "$work/report.pdf" >/dev/null; } 2>&1 | tail -n 1)
  read -r seconds kb <<<"$out"
  echo "report $1 of 198.18.4.0 from the 200 MB ledger: $seconds s, peak RSS $(awk -v k="$kb" 'BEGIN { printf "%.1f", k * 1024 / 1e6 }') MB, $(pdfinfo "$work/report.pdf" 2>/dev/null | awk '/^Pages:/ { print $2 }') pages"
}
report "$(date -d '30 days ago' +%F).."
report "0001-01-01.."
