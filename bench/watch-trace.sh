#!/usr/bin/env bash
# Benchmark: the watcher tracing the path of HOSTS hosts (default 100), each
# echoed and traced every second, four hops away (tests/netns/path-chain.sh,
# 10.82.0.0/24), for SECONDS_EACH s (default 60), without and then with the
# history (each hop's probes kept in History.db). Prints its CPU share,
# whole and from the 20th second on, its peak RSS, and from its metrics the
# trace probes sent and answered. Needs root.
#
# (Its own namespaces, not the common test network: only watch-common's
# timing helpers are used.)
#
# Usage: bench/watch-trace.sh [BUILD_DIR]   (HOSTS=… SECONDS_EACH=… in the environment)
# shellcheck source-path=SCRIPTDIR source=watch-common.sh
source "$(dirname "$0")/watch-common.sh"
build=$(realpath "${1:-$root/build}")
watch=$build/program/linkvigil-watch
hosts=${HOSTS:-100}
seconds=$((${SECONDS_EACH:-60} < 30 ? 30 : ${SECONDS_EACH:-60}))
skip() {
  echo "needs root and network namespaces: $*" >&2
  exit 1
}
((EUID == 0)) || skip "not running as root"
((hosts <= 254)) || skip "at most 254 hosts"
# shellcheck source-path=SCRIPTDIR source=../tests/netns/path-chain.sh
source "$root/tests/netns/path-chain.sh"
make_path_chain "lvb$$"

sum() { awk -v m="$1" 'index($0, m "{") == 1 { s += $NF } END { printf "%d", s }' "$work/metrics"; }
for history in 0 1; do
  rm -rf "$work/hosts"
  mkdir "$work/hosts"
  for ((i = 0; i < hosts; i++)); do
    printf '%s\n' '[Addresses]' 'Count=1' "Address01=10.82.0.$((i % 254 + 1))" '[Ping]' 'Interval=1000' \
      'Timeout=1000' '[Logging]' 'UseLogging=0' '[History]' "Enabled=$history" '[Trace]' 'Enabled=1' \
      'Interval=1000' >"$work/hosts/$(printf %03d "$i").ini"
  done
  echo "history $([[ $history == 1 ]] && echo on || echo off):"
  start watch nsx "${ns[0]}" "$watch" --metrics 127.0.0.1:9467 "$work/hosts"
  sleep 20
  mark watch
  sleep "$((seconds - 20))"
  nsx "${ns[0]}" bash -c 'exec 3<>/dev/tcp/127.0.0.1/9467 && printf "GET /metrics HTTP/1.0\r\n\r\n" >&3 && cat <&3' \
    >"$work/metrics"
  echo "$hosts hosts: trace probes $(sum linkvigil_hop_requests_total), answered $(sum linkvigil_hop_replies_total);" \
    "echoes $(sum linkvigil_echo_requests_total), replies $(sum linkvigil_echo_replies_total)"
  stop watch TERM
  resources watch
  [[ $history == 0 ]] || echo "History.db: $(du -sh "$work/hosts/History.db" | cut -f1)" \
    "($(sqlite3 "$work/hosts/History.db" 'SELECT count(*) FROM series' 2>/dev/null || echo '?') series)"
done
