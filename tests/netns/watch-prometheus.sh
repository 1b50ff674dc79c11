#!/usr/bin/env bash
# The headless watcher seen by a real Prometheus, run by netns-run.sh (client
# namespace, responder started): three IPv4 hosts (answering, silent,
# rejecting) and three IPv6 ones, one of them typed in a long form, watched with --metrics on the loopback and scraped every second. The
# metrics must pass promtool's lint and tell the three hosts apart, probing
# must keep its pace while the metrics port is flooded with garbage, a huge
# header and idle connections, and SIGTERM must close every log.
#
# Usage: watch-prometheus.sh WATCH_BINARY
set -euo pipefail

skip() {
  echo "SKIPPED LOUDLY: watcher and Prometheus test: $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}

fail() {
  echo "FAIL: $*" >&2
  [[ -z "${dir:-}" ]] || sed 's/^/watcher: /' "$dir/watch.err" >&2
  exit 1
}

(($# == 1)) || { echo "usage: $0 WATCH_BINARY" >&2; exit 2; }
watch=$1
[[ "${LINKVIGIL_NETNS:-}" == 1 ]] || skip "must run inside tests/netns/netns-run.sh"
if ! command -v prometheus >/dev/null || ! command -v promtool >/dev/null; then
  skip "'prometheus' and 'promtool' not found (Debian package prometheus)"
fi

answering=198.18.0.1 silent=192.0.2.2 rejecting=192.0.2.3
# The long form must be shown, logged and labelled as 2001:db8::10.
answering6=2001:0DB8:0:0::0010 silent6=2001:db8::2 rejecting6=2001:db8::3
interval_ms=250
# The namespace is ours alone: fixed ports cannot clash.
metrics_port=9464 prom_port=9090
prom_url=http://127.0.0.1:$prom_port

dir=$(mktemp -d /tmp/linkvigil-watch-prom.XXXXXX)
watch_pid="" prom_pid=""
# shellcheck disable=SC2317
cleanup() {
  local pid
  for pid in $watch_pid $prom_pid; do kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$dir"
}
trap cleanup EXIT

# settings NAME HOST EOL: a settings file logging beside itself to NAME.log.
settings() {
  local eol=$3
  printf "%s$eol" "[Addresses]" "Count=1" "Address01=$2" "[Ping]" "Interval=$interval_ms" "Timeout=500" \
    "[Logging]" "UseLogging=1" "LogFile=$1.log" >"$dir/$1.ini"
}
settings answering $answering '\r\n'
settings silent $silent '\n'
settings rejecting $rejecting '\n'
settings answering6 $answering6 '\n'
settings silent6 $silent6 '\n'
settings rejecting6 $rejecting6 '\n'

cat >"$dir/prometheus.yml" <<EOF
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: linkvigil
    static_configs:
      - targets: ['127.0.0.1:$metrics_port']
EOF

"$watch" --metrics "127.0.0.1:$metrics_port" "$dir"/*.ini 2>"$dir/watch.err" &
watch_pid=$!
prometheus --config.file="$dir/prometheus.yml" --storage.tsdb.path="$dir/tsdb" \
  --web.listen-address="127.0.0.1:$prom_port" --log.level=warn 2>"$dir/prometheus.err" &
prom_pid=$!

now_ms() { echo $((${EPOCHREALTIME//[!0-9]/} / 1000)); }

# scrape: the body of one GET /metrics, read up to its Content-Length (the
# server keeps the connection open).
scrape() {
  local fd line length=""
  exec {fd}<>"/dev/tcp/127.0.0.1/$metrics_port" || return 1
  printf 'GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n' >&"$fd"
  if ! IFS= read -r -t 5 line <&"$fd" || [[ "$line" != "HTTP/1.1 200 "* ]]; then
    exec {fd}>&-
    return 1
  fi
  while IFS= read -r -t 5 line <&"$fd" && [[ "$line" != $'\r' ]]; do
    [[ "${line,,}" == content-length:* ]] && length=${line#*: } && length=${length%$'\r'}
  done
  [[ -n "$length" ]] && head -c "$length" <&"$fd"
  exec {fd}>&-
}

# sample NAME HOST: the value of one of HOST's samples in a direct scrape.
sample() {
  scrape | awk -v want="$1{host=\"$2\"," 'index($0, want) == 1 { print $NF; found = 1 } END { exit !found }'
}

# holds EXPR: whether Prometheus' instant query of EXPR returns any series.
holds() {
  [[ -n "$(promtool query instant "$prom_url" "$1" 2>/dev/null)" ]]
}

# await EXPR SECONDS: polls Prometheus until EXPR holds.
await() {
  local deadline=$(($(now_ms) + $2 * 1000))
  until holds "$1"; do
    kill -0 "$watch_pid" 2>/dev/null || fail "the watcher ended early"
    kill -0 "$prom_pid" 2>/dev/null || { cat "$dir/prometheus.err" >&2; fail "Prometheus ended early"; }
    (($(now_ms) < deadline)) || fail "not within $2 s: $1"
    sleep 0.5
  done
}

# The silent host's index falls below 30 % after about 15 lost echoes.
await "linkvigil_connection_up{host=\"$silent\"} == 0" 40
await "linkvigil_connection_up{host=\"$silent6\"} == 0" 10
echo "Prometheus sees $silent and $silent6 down"
scrape >"$dir/metrics.txt" || fail "no direct scrape of /metrics"
promtool check metrics <"$dir/metrics.txt" || fail "promtool check metrics found problems"

# Hostile clients while probing: garbage, a 1 MiB header and 100 idle
# connections (64 are held, the rest refused) for two seconds. Probing must
# keep its pace meanwhile.
before=$(sample linkvigil_echo_requests_total $answering) || fail "no request count for $answering"
start=$(now_ms)
trap '' PIPE # the server may close what we still write to
hostile=()
(head -c 65536 /dev/urandom >"/dev/tcp/127.0.0.1/$metrics_port") 2>/dev/null &
hostile+=($!)
({ printf 'GET /metrics HTTP/1.1\r\nX-Filler: '; head -c 1048576 /dev/zero | tr '\0' a; printf '\r\n\r\n'; } \
  >"/dev/tcp/127.0.0.1/$metrics_port") 2>/dev/null &
hostile+=($!)
idle=()
for ((i = 0; i < 100; i++)); do
  exec {fd}<>"/dev/tcp/127.0.0.1/$metrics_port" || fail "connection $i to the metrics port refused"
  idle+=("$fd")
  if ((i % 2)); then printf 'GET /met' >&"$fd" || true; fi 2>/dev/null
done
sleep 2
for fd in "${idle[@]}"; do exec {fd}>&-; done
deadline=$(($(now_ms) + 5000))
for pid in "${hostile[@]}"; do
  while kill -0 "$pid" 2>/dev/null; do
    (($(now_ms) < deadline)) || fail "a hostile client is still sending 7 s on"
    sleep 0.1
  done
done
trap - PIPE
kill -0 "$watch_pid" 2>/dev/null || fail "the watcher ended under hostile HTTP"
after=$(sample linkvigil_echo_requests_total $answering) || fail "no direct scrape after the hostile clients"
elapsed=$(($(now_ms) - start))
expected=$((elapsed / interval_ms))
echo "requests to $answering: $before -> $after in $elapsed ms (about $expected expected)"
((after - before >= expected - 2 && after - before <= expected + 2)) ||
  fail "$((after - before)) requests to $answering in $elapsed ms, not about $expected"

# Prometheus scrapes again and tells the three hosts apart.
await "up{job=\"linkvigil\"} == 1" 10
for expr in "linkvigil_echo_replies_total{host=\"$answering\"} > 0" \
  "linkvigil_connection_up{host=\"$answering\"} == 1" \
  "linkvigil_connection_up{host=\"$silent\"} == 0" \
  "linkvigil_echo_losses_by_status_total{host=\"$rejecting\",status=\"Destination host unreachable\"} > 0" \
  "linkvigil_echo_replies_total{host=\"$answering6\",address=\"2001:db8::10\"} > 0" \
  "linkvigil_connection_up{host=\"$answering6\"} == 1" \
  "linkvigil_echo_losses_by_status_total{host=\"$rejecting6\",status=\"Destination host unreachable\"} > 0"; do
  holds "$expr" || fail "Prometheus does not find: $expr"
done

# SIGTERM: exit status 0, each log closed, both losses reported.
kill -TERM "$watch_pid"
status=0
wait "$watch_pid" || status=$?
watch_pid=""
((status == 0)) || fail "exit status $status after SIGTERM"
for name in answering silent rejecting answering6 silent6 rejecting6; do
  host=${!name}
  [[ $name == answering6 ]] && host=2001:db8::10
  tail -n 1 "$dir/$name.log" | grep -q "Logging switched off for IP \"$host\"" ||
    fail "$name.log does not end with logging switched off: $(tail -n 1 "$dir/$name.log")"
done
grep -q "IP-Address \"$answering6\"" "$dir/answering6.log" || fail "answering6.log names no host"
for host in $silent $rejecting $silent6 $rejecting6; do
  grep -q " $host (.*falls below 30%" "$dir/watch.err" || fail "no 'falls below 30%' line for $host"
done
echo "watch-prometheus: all checks passed"
