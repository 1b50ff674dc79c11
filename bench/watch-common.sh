# shellcheck shell=bash
# What the bench/watch-*.sh benchmarks share; sourced, not run. Each runs
# linkvigil-watch (and iputils ping to compare with) inside the private
# test network of tests/netns/netns-run.sh, prints its figures and asserts
# nothing. CPU times are bash's `time` of the whole process (to the ms, all
# threads, start-up and exit included); the peak RSS is VmHWM just before
# the process is stopped.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
port=9464 # metrics, on the client namespace's own loopback

# enter_test_network SCRIPT [BUILD_DIR]: outside the test network, runs
# SCRIPT again inside it; inside, sets build, watch and work (a temporary
# folder) and prints the load now and at the end.
enter_test_network() {
  build=$(realpath "${2:-$root/build}")
  if [[ "${LINKVIGIL_NETNS:-}" != 1 ]]; then
    exec "$root/tests/netns/netns-run.sh" --responder "$build/tools/responder/linkvigil-responder" \
      -- "$1" "$build"
  fi
  # shellcheck disable=SC2034 # for the scripts that source this
  watch=$build/program/linkvigil-watch
  work=$(mktemp -d)
  trap 'echo "load at end:  $(uptime)"; rm -rf "$work"' EXIT
  echo "load at start:$(uptime)"
}

# warm_up HOST: one echo, so that the neighbour entries on the way exist
# before the measured echoes.
warm_up() { ping -n -q -c 1 -W 1 "$1" >/dev/null || true; }

# write_settings FILE HOST INTERVAL_MS TIMEOUT_MS (no log)
write_settings() {
  printf '%s\n' '[Addresses]' 'Count=1' "Address01=$2" '[Ping]' "Interval=$3" "Timeout=$4" \
    '[Logging]' 'UseLogging=0' >"$1"
}

# start NAME COMMAND...: COMMAND in the background, its output in
# $work/NAME.out and .err; `time` writes "elapsed user sys" to NAME.cpu.
declare -A timer
start() {
  local name=$1
  shift
  { TIMEFORMAT='%3R %3U %3S'; time "$@" >"$work/$name.out" 2>"$work/$name.err"; } 2>"$work/$name.cpu" &
  timer[$name]=$!
}

# cpu_ticks PID: the process's CPU time (all threads, user and system) in
# clock ticks, and the time now in seconds.
cpu_ticks() { echo "$(awk '{ print $14 + $15 }' "/proc/$1/stat") $(date +%s.%N)"; }

# mark NAME: from here on, apart from its start-up, NAME's share of one core
# is measured too, until it is stopped.
mark() { cpu_ticks "$(pgrep -P "${timer[$1]}")" >"$work/$1.mark"; }

# stop NAME SIGNAL: notes NAME's peak RSS (KiB), then stops it and waits.
stop() {
  local pid
  pid=$(pgrep -P "${timer[$1]}")
  awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" >"$work/$1.rss"
  if [[ -f "$work/$1.mark" ]]; then
    read -r ticks at < <(cpu_ticks "$pid")
    read -r ticks0 at0 <"$work/$1.mark"
    awk -v d="$((ticks - ticks0))" -v hz="$(getconf CLK_TCK)" -v s="$(awk -v a="$at" -v b="$at0" 'BEGIN { print a - b }')" \
      'BEGIN { printf "%.2f %.1f\n", d / hz * 100 / s, s }' >"$work/$1.steady"
  fi
  kill -"$2" "$pid"
  wait "${timer[$1]}" || echo "$1 ended with status $?"
}

# stop_watch: scrapes the metrics into $work/metrics, then ends the watcher.
stop_watch() {
  if ! curl -sf "http://127.0.0.1:$port/metrics" >"$work/metrics"; then
    echo "could not scrape the metrics; linkvigil-watch said:" >&2
    cat "$work/watch.err" >&2
    exit 1
  fi
  stop watch TERM
}

# resources NAME: prints NAME's CPU time, share of one core and peak RSS,
# and, when it was marked, its share after start-up; sets cpu_s, share (%),
# rss_mb (10^6 bytes) and, when marked, steady (%).
resources() {
  local elapsed
  read -r elapsed cpu_s share < <(awk '{ c = $2 + $3; printf "%.3f %.3f %.2f\n", $1, c, c * 100 / $1 }' "$work/$1.cpu")
  rss_mb=$(awk '{ printf "%.2f", $1 * 1024 / 1e6 }' "$work/$1.rss")
  echo "$1: CPU ${cpu_s} s (user+sys) in ${elapsed} s = ${share} % of one core, peak RSS ${rss_mb} MB"
  if [[ -f "$work/$1.steady" ]]; then
    read -r steady steady_s <"$work/$1.steady"
    echo "  after start-up: ${steady} % of one core over the last ${steady_s} s"
  fi
}

# goal TEXT AWK-CONDITION
goal() {
  if awk "BEGIN { exit !($2) }"; then echo "goal $1: met"; else echo "goal $1: NOT met"; fi
}

# metric NAME: the sum of NAME's samples over all hosts in the last scrape.
metric() { awk -v n="$1{" 'index($0, n) == 1 { s += $NF } END { print s + 0 }' "$work/metrics"; }
