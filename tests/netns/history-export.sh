#!/usr/bin/env bash
# The history seen from the wire, run by netns-run.sh (client namespace): the
# watcher watches 192.0.2.1 once a second for 40 s, the host blackholed for
# the middle 10 s, and is stopped by SIGTERM. --export must then give every
# echo of the run, as CSV and as JSON lines alike: about 40, the ten or so
# lost ones in one stretch, the others with a round trip. A bad period and a
# host the history does not hold end it with status 2.
#
# Usage: history-export.sh WATCH_BINARY
set -euo pipefail

(($# == 1)) || { echo "usage: $0 WATCH_BINARY" >&2; exit 2; }
watch=$1
if [[ "${LINKVIGIL_NETNS:-}" != 1 ]]; then
  echo "SKIPPED LOUDLY: history export test: must run inside tests/netns/netns-run.sh" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
fi

host=192.0.2.1
dir=$(mktemp -d /tmp/linkvigil-history.XXXXXX)
watch_pid="" blackholed="" failures=0

blackhole() {
  if [[ "$1" == on ]]; then
    ip netns exec "$LINKVIGIL_NETNS_HOST" nft -f - <<EOF
table ip history_test {
  chain input { type filter hook input priority 0; policy accept;
    icmp type echo-request ip daddr $host drop; }
}
EOF
    blackholed=1
  else
    ip netns exec "$LINKVIGIL_NETNS_HOST" nft delete table ip history_test
    blackholed=""
  fi
}

# shellcheck disable=SC2317
cleanup() {
  [[ -z "$blackholed" ]] || blackhole off || true
  [[ -z "$watch_pid" ]] || kill -KILL "$watch_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# settings FILE HOST: a settings file logging beside itself.
settings() {
  printf '%s\n' "[Addresses]" "Count=1" "Address01=$2" "[Ping]" "Interval=1000" "Timeout=500" \
    "[Logging]" "UseLogging=1" "LogFile=watch.log" >"$1"
}
settings "$dir/watch.ini" $host
settings "$dir/other.ini" 192.0.2.9

from=$(date +%Y-%m-%dT%H:%M:%S)
"$watch" "$dir/watch.ini" 2>"$dir/watch.err" &
watch_pid=$!
sleep 15
blackhole on
sleep 10
blackhole off
sleep 15
status=0
kill -TERM "$watch_pid"
wait "$watch_pid" || status=$?
watch_pid=""
((status == 0)) || fail "the watcher exited with status $status on SIGTERM"
if [[ ! -f "$dir/History.db" ]]; then
  sed 's/^/watcher: /' "$dir/watch.err" >&2
  echo "FAIL: the watcher wrote no $dir/History.db" >&2
  exit 1
fi

# export STATUS OUT ARGS...: --export with ARGS exits with STATUS, its
# standard output in OUT and its standard error in $dir/export.err.
export_as() {
  local want=$1 out=$2 got=0
  shift 2
  timeout 20 "$watch" --export "$@" >"$out" 2>"$dir/export.err" || got=$?
  ((got == want)) || fail "--export $*: status $got, not $want: $(cat "$dir/export.err")"
}

export_as 0 /dev/null "$from.." "$dir/watch.ini" "$dir/echoes.csv"
grep -Eq "^linkvigil-watch: [0-9]+ echo\(es\) of $host written to $dir/echoes.csv$" "$dir/export.err" ||
  fail "no count of echoes written: $(cat "$dir/export.err")"
export_as 0 "$dir/echoes.jsonl" "$from.." "$dir/watch.ini" --format jsonl
[[ ! -s "$dir/export.err" ]] || fail "--export to standard output said: $(cat "$dir/export.err")"

# One letter an echo, oldest first: A answered, L lost.
csv=$(tail -n +2 "$dir/echoes.csv" | awk -F, '{ printf "%s", ($4 == "answered" ? "A" : "L") }')
jsonl=$(sed -E 's/.*"outcome":"([^"]*)".*/\1/' "$dir/echoes.jsonl" |
  awk '{ printf "%s", ($0 == "answered" ? "A" : "L") }')
echo "echoes: $csv"
[[ "$csv" == "$jsonl" ]] || fail "CSV ($csv) and JSON lines ($jsonl) differ"
lost=${csv//A/}
((${#csv} >= 37 && ${#csv} <= 42)) || fail "${#csv} echoes, not about 40"
((${#lost} >= 8 && ${#lost} <= 12)) || fail "${#lost} echoes lost, not about 10"
[[ "$csv" =~ ^A+L+A+$ ]] || fail "the lost echoes are not one stretch between answered ones"
awk -F, 'NR > 1 && $4 == "answered" && !($6 > 0) { bad = 1; print "no round trip: " $0 } END { exit bad }' \
  "$dir/echoes.csv" >&2 || fail "an answered echo without a round trip"

# An empty period of the host: the header alone.
export_as 0 "$dir/empty.csv" "2001-01-01..2001-01-02" "$dir/watch.ini"
(($(wc -l <"$dir/empty.csv") == 1)) || fail "an empty period gave more than the header"

export_as 2 /dev/null "2026-12-01..2026-11-01" "$dir/watch.ini"
export_as 2 /dev/null "noon..midnight" "$dir/watch.ini"
export_as 2 /dev/null "$from.." "$dir/other.ini"
grep -qx "linkvigil-watch: no history of 192.0.2.9 in $dir/History.db" "$dir/export.err" ||
  fail "no history of 192.0.2.9 not said: $(cat "$dir/export.err")"

((failures == 0)) || exit 1
echo "history-export: all checks passed"
