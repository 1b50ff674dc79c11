#!/usr/bin/env bash
# The outage ledger seen from the wire, run by netns-run.sh (client
# namespace): the watcher watches 192.0.2.1 every 200 ms while the path to it
# is broken in one way at a time, each case with a watcher and a folder of its
# own; two of the cases again over IPv6. Each Outages.csv must hold one row: the outage with the cause that was
# staged, the gap of a watcher held up by SIGSTOP, or the outage a kill -9 cut
# short, completed at the next start. The connection log must not change in
# kind. Every ledger is printed at the end.
#
# Usage: ledger-causes.sh WATCH_BINARY
set -euo pipefail

(($# == 1)) || { echo "usage: $0 WATCH_BINARY" >&2; exit 2; }
watch=$1
if [[ "${LINKVIGIL_NETNS:-}" != 1 ]]; then
  echo "SKIPPED LOUDLY: outage ledger test: must run inside tests/netns/netns-run.sh" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
fi

host=192.0.2.1 gateway=198.51.100.254
dir=$(mktemp -d /tmp/linkvigil-ledger.XXXXXX)
cases=() failures=0 watch_pid="" lift="" routes=""

# shellcheck disable=SC2317
cleanup() {
  [[ -z "$lift" ]] || "$lift" off || true
  [[ -z "$watch_pid" ]] || kill -KILL "$watch_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# start CASE: a watcher logging into $dir/CASE, given time for a few answers.
start() {
  local d=$dir/$1
  if [[ ! -d "$d" ]]; then
    mkdir "$d"
    cases+=("$1")
    printf '%s\n' "[Addresses]" "Count=1" "Address01=$host" "[Ping]" "Interval=200" "Timeout=500" \
      "[Logging]" "UseLogging=1" "LogFile=watch.log" "OutageEchoes=2" >"$d/watch.ini"
  fi
  "$watch" "$d/watch.ini" 2>>"$d/watch.err" &
  watch_pid=$!
  sleep 1.5
}

# stop SIGNAL: ends the watcher; SIGTERM must end it cleanly.
stop() {
  local status=0
  kill "-$1" "$watch_pid"
  wait "$watch_pid" 2>/dev/null || status=$?
  [[ "$1" != TERM ]] || ((status == 0)) || fail "the watcher exited with status $status on SIGTERM"
  watch_pid=""
}

# during SECONDS CONDITION [COMMAND...]: CONDITION on, SECONDS of it, COMMAND,
# then off again (also when the test is cut short meanwhile).
during() {
  local condition=$2
  "$condition" on
  lift=$condition
  sleep "$1"
  shift 2
  (($# == 0)) || "$@"
  "$condition" off
  lift=""
}

# nft_table NAMESPACE on|off CHAINS: a table of our own with CHAINS, or none.
nft_table() {
  if [[ "$2" == on ]]; then
    printf 'table ip ledger_test {\n%s\n}\n' "$3" | ip netns exec "$1" nft -f -
  else
    ip netns exec "$1" nft delete table ip ledger_test
  fi
}

# nft_table6 NAMESPACE on|off CHAINS: the same for IPv6.
nft_table6() {
  if [[ "$2" == on ]]; then
    printf 'table ip6 ledger_test6 {\n%s\n}\n' "$3" | ip netns exec "$1" nft -f -
  else
    ip netns exec "$1" nft delete table ip6 ledger_test6
  fi
}

# The conditions, each switched on and off.
host_blackholed() {
  nft_table "$LINKVIGIL_NETNS_HOST" "$1" "chain input { type filter hook input priority 0; policy accept;
    icmp type echo-request ip daddr $host drop; }"
}
gateway_silent() {
  nft_table "$LINKVIGIL_NETNS_ROUTER" "$1" "chain input { type filter hook input priority 0; policy accept;
    icmp type echo-request ip daddr $gateway drop; }
    chain forward { type filter hook forward priority 0; policy accept;
    icmp type echo-request ip daddr $host drop; }"
}
router_refuses() {
  nft_table "$LINKVIGIL_NETNS_ROUTER" "$1" "chain forward { type filter hook forward priority 0; policy accept;
    icmp type echo-request ip daddr $host reject with icmp type host-unreachable; }"
}
host6_blackholed() {
  nft_table6 "$LINKVIGIL_NETNS_HOST" "$1" "chain input { type filter hook input priority 0; policy accept;
    icmpv6 type echo-request ip6 daddr $host drop; }"
}
router6_refuses() {
  nft_table6 "$LINKVIGIL_NETNS_ROUTER" "$1" "chain forward { type filter hook forward priority 0; policy accept;
    icmpv6 type echo-request ip6 daddr $host reject with icmpv6 type addr-unreachable; }"
}
# Taking c0 down deletes every route through it, and bringing it up again
# restores only the on-link ones: the saved routes of both families are put back.
link_down() {
  local line words family
  if [[ "$1" == on ]]; then
    routes=$(ip -4 route show | sed 's/^/-4 /'; ip -6 route show | grep -v '^fe80' | sed 's/^/-6 /')
    # IPv6 addresses would go with the link, and the later cases need them.
    sysctl -qw net.ipv6.conf.c0.keep_addr_on_down=1
    ip link set c0 down
    return
  fi
  ip link set c0 up
  while IFS= read -r line; do
    read -ra words <<<"$line"
    family=${words[0]}
    ip "$family" route replace "${words[@]:1}" 2>/dev/null || true
  done <<<"$routes"
}

# fields LEDGER: its rows, one a line, the fields split by US (0x1f).
fields() {
  awk 'NR > 1 {
    sub(/\r$/, ""); out = ""; f = ""; q = 0
    for (i = 1; i <= length($0); i++) {
      c = substr($0, i, 1)
      if (q && c == "\"" && substr($0, i + 1, 1) == "\"") { f = f c; i++ }
      else if (c == "\"") q = !q
      else if (!q && c == ",") { out = out f "\037"; f = "" }
      else f = f c
    }
    print out f
  }' "$1"
}

# expect CASE KIND CAUSE NOTE MIN MAX [GATEWAY INTERFACE]: CASE's ledger
# holds exactly one row, of KIND and CAUSE, its note containing NOTE, lasting
# MIN to MAX s (no end and no duration for MIN "-").
expect() {
  local name=$1 file=$dir/$1/Outages.csv rows kind end dur address lost cause gw iface note
  [[ -f "$file" ]] || { fail "$name: no $file"; return; }
  mapfile -t rows < <(fields "$file")
  ((${#rows[@]} == 1)) || { fail "$name: ${#rows[@]} rows, not 1"; return; }
  IFS=$'\037' read -r kind _ end dur _ address lost _ cause _ gw iface note <<<"${rows[0]}"
  [[ "$kind" == "$2" && "$cause" == "$3" && "$note" == *"$4"* && "$address" == "$host" ]] ||
    fail "$name: row '$kind' '$cause' '$note' for $address, not '$2' '$3' with '$4'"
  if [[ "$5" == - ]]; then
    [[ -z "$end" && "$dur" == 0.000 ]] || fail "$name: end '$end', duration $dur for an end unknown"
  elif ! awk -v d="$dur" -v lo="$5" -v hi="$6" 'BEGIN { exit !(d >= lo && d <= hi) }'; then
    fail "$name: lasted $dur s, not $5 to $6 s"
  fi
  [[ "$kind" == gap ]] || ((lost >= 2)) || fail "$name: $lost echoes lost"
  (($# < 7)) || [[ "$gw" == "$7" && "$iface" == "$8" ]] || fail "$name: gateway '$gw', interface '$iface'"
}

# Condition cases: 1.5 s answered, 5 s of the condition, 1.5 s answered.
for condition in host_blackholed link_down gateway_silent router_refuses; do
  start "$condition"
  during 5 "$condition"
  sleep 1.5
  stop TERM
done
expect host_blackholed outage "Beyond the gateway" "" 4 6.5 "$gateway" c0
expect link_down outage "This computer is offline" "" 4 6.5
expect gateway_silent outage "Local network" "" 4 6.5 "$gateway" c0
expect router_refuses outage "Refused on the way" "refused by $gateway: " 4 6.5 "$gateway" c0

# The same over IPv6, the router known by its global address.
host=2001:db8::1 gateway=2001:db8:51::fe
for condition in host6_blackholed router6_refuses; do
  start "$condition"
  during 5 "$condition"
  sleep 1.5
  stop TERM
done
expect host6_blackholed outage "Beyond the gateway" "" 4 6.5 "$gateway" c0
expect router6_refuses outage "Refused on the way" "refused by $gateway: Destination host unreachable" 4 6.5 "$gateway" c0
host=192.0.2.1 gateway=198.51.100.254

# Held up: no tick for 10 s is a gap, not an outage.
start held_up
kill -STOP "$watch_pid"
sleep 10
kill -CONT "$watch_pid"
sleep 1.5
stop TERM
expect held_up gap "" "Linkvigil was held up" 9.5 12

# Killed 3 s into an outage: it is on disk as open, and the next start
# completes it with its end unknown.
start killed
during 3 host_blackholed stop KILL
open=$dir/killed/Outages.state/$host.open
[[ -f "$open" ]] || fail "killed: no $open after kill -9 in an outage"
start killed
stop TERM
[[ ! -e "$open" ]] || fail "killed: $open left after the next start"
expect killed outage "Beyond the gateway" "end unknown: Linkvigil was stopped" - - "$gateway" c0

# Six hosts, each in an outage from the start, watched from one folder and
# so sharing its ledger: after each of the kills every host's outage is
# completed once, under its own name; a stop and a later start give every
# host its own gap.
shared=$dir/shared kills=8
mkdir "$shared"
for i in 2 3 4 5 6 7; do
  printf '%s\n' "[Addresses]" "Count=1" "Address01=192.0.2.$i" "[Ping]" "Interval=200" "Timeout=500" \
    "[Logging]" "UseLogging=1" "LogFile=h$i.log" "OutageEchoes=2" >"$shared/h$i.ini"
done
for ((round = 0; round <= kills; round++)); do
  "$watch" "$shared" 2>>"$shared/watch.err" &
  watch_pid=$!
  sleep 2
  if ((round < kills)); then stop KILL; else stop TERM; fi
done
sleep 2
"$watch" "$shared" 2>>"$shared/watch.err" &
watch_pid=$!
sleep 2
stop TERM
for i in 2 3 4 5 6 7; do
  rows=$(fields "$shared/Outages.csv" | awk -F'\037' -v h="192.0.2.$i" '$5 == h { print $1 "|" $13 }')
  unknown=$(grep -c '^outage|.*end unknown' <<<"$rows" || true)
  stopped=$(grep -c '^outage|.*ended by Stop' <<<"$rows" || true)
  closed=$(grep -c '^gap|Linkvigil was closed$' <<<"$rows" || true)
  ((unknown == kills && stopped == 2 && closed == 1)) ||
    fail "shared 192.0.2.$i: $unknown outages ended unknown (want $kills), $stopped ended by Stop (want 2), $closed gaps (want 1)"
  [[ ! -e "$shared/Outages.state/192.0.2.$i.open" ]] || fail "shared 192.0.2.$i: its outage is still open"
done
echo "== shared: $(($(wc -l <"$shared/Outages.csv") - 1)) rows for 6 hosts after $kills kills"

# The connection log keeps to its own lines; the ledger stays out of it.
for name in "${cases[@]}"; do
  log=$dir/$name/watch.log
  grep -q ': Start monitor for IP-Address "' "$log" || fail "$name: no start line in the log"
  if grep -vE ': (Start monitor for IP-Address "|Reliability for |Logging switched )' "$log" ||
    grep -iE 'outage|gateway|offline|refused|held up|unknown' "$log"; then
    fail "$name: the log has lines of another kind (above)"
  fi
done

for name in "${cases[@]}"; do
  echo "== $name: Outages.csv"
  cat "$dir/$name/Outages.csv" 2>/dev/null || true
  ((failures == 0)) || sed "s/^/$name watcher: /" "$dir/$name/watch.err" >&2
done
((failures == 0)) || { echo "ledger-causes: $failures check(s) failed" >&2; exit 1; }
echo "ledger-causes: all cases passed"
