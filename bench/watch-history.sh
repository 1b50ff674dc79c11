#!/usr/bin/env bash
# Benchmark: what keeping every echo costs the watcher. HOSTS hosts
# (default 1000; up to 16384 from 198.18.64.0), each every 1000 ms, for
# SECONDS s (SECONDS_EACH, default 60) in the private network: linkvigil-watch with the
# history off, then on (every host's echoes in one History.db), then fping
# sending to the same hosts at the same pace to compare with. Prints each
# one's CPU share, whole and from the 20th second on (without start-up), and
# peak RSS, and the history's size and echoes kept. SECONDS_EACH is at
# least 30.
# Needs root.
#
# Usage: bench/watch-history.sh [BUILD_DIR]   (HOSTS=… SECONDS_EACH=… in the environment)
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
enter_test_network "$0" "${1:-}"

hosts=${HOSTS:-1000}
seconds=$((${SECONDS_EACH:-60} < 30 ? 30 : ${SECONDS_EACH:-60}))
address() { echo "198.18.$((64 + $1 / 256)).$(($1 % 256))"; }

run_watch() { # NAME ENABLED
  mkdir "$work/$1"
  for ((i = 0; i < hosts; i++)); do
    printf -v file '%s/%s/%05d.ini' "$work" "$1" "$i"
    write_settings "$file" "$(address "$i")" 1000 1000
    printf '%s\n' '[History]' "Enabled=$2" >>"$file"
  done
  start "$1" "$watch" --metrics "$port" "$work/$1"
  # Its share after start-up is taken from the 20th second on.
  sleep 20
  mark "$1"
  sleep "$((seconds - 20))"
  if ! curl -sf "http://127.0.0.1:$port/metrics" >"$work/metrics"; then
    cat "$work/$1.err" >&2
    exit 1
  fi
  stop "$1" TERM
  resources "$1"
  echo "  echoes: requests $(metric linkvigil_echo_requests_total), replies $(metric linkvigil_echo_replies_total)"
}

warm_up "$(address 1)"
echo "$hosts hosts, one echo a second each, $seconds s each run"
run_watch history-off 0
run_watch history-on 1
db=$work/history-on/History.db
kept=$(sqlite3 "file:$db?mode=ro" "SELECT coalesce(sum(echoes), 0) FROM minute" 2>/dev/null || echo "?")
echo "  History.db: $(stat -c %s "$db") bytes (its log $(stat -c %s "$db-wal" 2>/dev/null || echo 0) bytes)," \
  "echoes in its minute summaries: $kept"

for ((i = 0; i < hosts; i++)); do address "$i"; done >"$work/targets"
start fping fping -l -p 1000 -q -f "$work/targets"
sleep 20
mark fping
sleep "$((seconds - 20))"
stop fping INT
resources fping
