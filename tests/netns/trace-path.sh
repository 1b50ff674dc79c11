#!/usr/bin/env bash
# The path trace on a real path of namespaces, four hops long:
#
#   client c 10.81.1.1 -- 10.81.1.2 r1 10.81.2.1 -- 10.81.2.2 r2 10.81.3.1
#            -- 10.81.3.2 r3 10.81.4.1 -- 10.81.4.2 host
#
# (IPv6 the same, 2001:db8:81:N::1 and ::2). linkvigil-echo --trace must
# name every hop's address as mtr --report does, per family; loss put on
# r2's forwarding must show from hop 3 on and be named as starting there,
# and per hop match mtr's within 10 points, in either family;
# a router that limits its time-exceeded answers is marked and the path
# not blamed, in either family; a router that never answers is a "*"
# between answering hops. When the path moves from r2 to r2b beside it
# (10.81.12.2) in the middle of a trace, hop 2 shows both routers and the
# host is still reached.
#
# With LINKVIGIL-WATCH, a watcher that traces its host sees an outage
# behind hop 2 (r2 forwarding nothing): its ledger row names 10.81.2.2;
# and when the path then moves to r2b, its History.db keeps the route
# change of hop 2 beside each hop's probes.
#
# Usage: trace-path.sh LINKVIGIL-ECHO [LINKVIGIL-WATCH]. Needs root (exit 77
# without, or 1 when CI=true).
set -euo pipefail
echo_tool=$1
watch_tool=${2:-}

skip() {
  echo "SKIPPED: the path trace test needs root and network namespaces (run as root, e.g. in CI): $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}
((EUID == 0)) || skip "not running as root"
command -v ip >/dev/null || skip "'ip' (iproute2) not found"
command -v nft >/dev/null || skip "'nft' (nftables) not found"

# shellcheck source-path=SCRIPTDIR source=path-chain.sh
source "$(dirname "$(realpath "${BASH_SOURCE[0]}")")/path-chain.sh"
make_path_chain "lvt$$"
add_detour

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
trace() { # OUT ARGS...: linkvigil-echo --trace in the client namespace
  local out=$1
  shift
  nsx "${ns[0]}" "$echo_tool" --trace "$@" >"$work/$out" 2>"$work/$out.err" || echo "exit $?" >>"$work/$out.err"
  sed "s/^/  $out: /" "$work/$out" "$work/$out.err"
}
field() { # FILE HOP KEY: KEY of the first line of HOP
  awk -v h="hop=$2" -v k="$3=" '$1 == h { for (i = 2; i <= NF; i++) if (index($i, k) == 1) { print substr($i, length(k) + 1); exit } }' "$1"
}
expect_addresses() { # FILE FAMILY-PREFIX
  local h want got
  for h in 1 2 3 4; do
    want="$2$h$([[ $2 == 10.81. ]] && echo .2 || echo ::2)"
    got=$(field "$1" "$h" address)
    [[ "$got" == "$want" ]] || fail "$1: hop $h is $got, not $want"
  done
  [[ -z "$(field "$1" 5 address)" ]] || fail "$1: a hop beyond the host"
}
addresses() { # FILE HOP: every address HOP answered from, sorted, on one line
  awk -v h="hop=$2" '$1 == h { sub(/^address=/, "", $2); print $2 }' "$1" | LC_ALL=C sort | paste -sd' '
}

echo "clean path, IPv4 and IPv6"
trace clean4 --count 20 --interval 200 10.81.4.2
expect_addresses "$work/clean4" 10.81.
trace clean6 --count 20 --interval 200 2001:db8:81:4::2
expect_addresses "$work/clean6" 2001:db8:81:
for f in clean4 clean6; do
  for h in 1 2 3 4; do
    [[ "$(field "$work/$f" "$h" loss)" == 0.0% ]] || fail "$f: hop $h loses"
  done
  grep -q "exit" "$work/$f.err" && fail "$f: did not end with status 0"
done

if command -v mtr >/dev/null; then
  echo "beside mtr --report"
  nsx "${ns[0]}" mtr --report --no-dns -c 20 -i 0.2 10.81.4.2 >"$work/mtr4" 2>&1 || true
  sed 's/^/  mtr: /' "$work/mtr4"
  mtr_hops=$(awk '$1 ~ /^[0-9]+\.\|--$/ { print $2 }' "$work/mtr4" | paste -sd' ')
  ours=$(for h in 1 2 3 4; do field "$work/clean4" "$h" address; done | paste -sd' ')
  [[ "$mtr_hops" == "$ours" ]] || fail "mtr names the hops '$mtr_hops', we '$ours'"
else
  fail "mtr (mtr-tiny) is not installed: scripts/setup.sh installs it"
fi

# Every fifth packet of each family that r2 forwards toward the host,
# counted rather than drawn at random: both tools send two such packets a
# round (the probes of hops 3 and 4), so each meets the same 20 % over 100
# rounds, and their figures differ by how they count, not by chance. Each
# family has a counter of its own, so that our trace of one family runs
# beside mtr's of the other without either taking the other's drops.
echo "20 % loss on r2's forwarding toward the host, IPv4 and IPv6"
nsx "${ns[2]}" nft -f - <<NFT
table inet lvtrace {
  chain forward {
    type filter hook forward priority 0;
    meta nfproto ipv4 oifname "$p-a3" numgen inc mod 5 == 0 drop
    meta nfproto ipv6 oifname "$p-a3" numgen inc mod 5 == 0 drop
  }
}
NFT
mtr_lossy() { # 4|6 HOST: mtr's report in $work/mtr-lossy4 or 6
  nsx "${ns[0]}" mtr "-$1" --report --no-dns -c 100 -i 0.2 "$2" >"$work/mtr-lossy$1" 2>&1 || true
}
have_mtr=$(command -v mtr || true)
for round in 1 2; do
  if ((round == 1)); then
    trace lossy4 --count 100 --interval 200 10.81.4.2 &
    [[ -z "$have_mtr" ]] || mtr_lossy 6 2001:db8:81:4::2 &
  else
    trace lossy6 --count 100 --interval 200 2001:db8:81:4::2 &
    [[ -z "$have_mtr" ]] || mtr_lossy 4 10.81.4.2 &
  fi
  wait
done
for fam in 4 6; do
  [[ $fam == 4 ]] && start=10.81.3.2 || start=2001:db8:81:3::2
  for h in 1 2; do
    loss=$(field "$work/lossy$fam" "$h" loss)
    awk -v l="${loss%\%}" 'BEGIN { exit !(l < 10) }' || fail "lossy$fam: hop $h loses $loss"
  done
  grep -qx "path: loss starts at hop 3 ($start)" "$work/lossy$fam" ||
    fail "lossy$fam: the loss is not named as starting at hop 3"
  [[ -n "$have_mtr" ]] || continue
  sed "s/^/  mtr -$fam: /" "$work/mtr-lossy$fam"
  for h in 1 2 3 4; do
    theirs=$(awk -v h="$h.|--" '$1 == h { sub(/%/, "", $3); print $3 }' "$work/mtr-lossy$fam")
    ours=$(field "$work/lossy$fam" "$h" loss)
    awk -v a="${ours%\%}" -v b="${theirs:-999}" 'BEGIN { d = a - b; exit !(d < 10 && d > -10) }' ||
      fail "lossy$fam: hop $h loses ${ours} here, ${theirs:-?}% by mtr"
  done
done
nsx "${ns[2]}" nft delete table inet lvtrace

echo "r2 limits its time-exceeded answers, IPv4 and IPv6"
nsx "${ns[2]}" sysctl -qw net.ipv4.icmp_ratelimit=2000 net.ipv6.icmp.ratelimit=2000
trace limited4 --count 40 --interval 200 10.81.4.2 &
trace limited6 --count 40 --interval 200 2001:db8:81:4::2 &
wait
for f in limited4 limited6; do
  [[ "$(field "$work/$f" 2 note)" == limits-answers ]] || fail "$f: hop 2 is not marked"
  grep -q "^path:" "$work/$f" && fail "$f: the path is blamed"
done
nsx "${ns[2]}" sysctl -qw net.ipv4.icmp_ratelimit=0 net.ipv6.icmp.ratelimit=0

echo "r2 never answers"
nsx "${ns[2]}" nft -f - <<'NFT'
table inet lvtrace {
  chain output {
    type filter hook output priority 0;
    icmp type time-exceeded drop
  }
}
NFT
trace silent --count 10 --interval 200 10.81.4.2
[[ "$(field "$work/silent" 2 address)" == "*" ]] || fail "silent: hop 2 is not '*'"
[[ "$(field "$work/silent" 3 address)" == 10.81.3.2 ]] || fail "silent: hop 3 is missing"
grep -q "^path:" "$work/silent" && fail "silent: the path is blamed"

nsx "${ns[2]}" nft delete table inet lvtrace

echo "the path moves from r2 to r2b in the middle of a trace"
trace moved --count 30 --interval 200 10.81.4.2 &
sleep 3
detour on
wait
detour off
[[ "$(addresses "$work/moved" 2)" == "10.81.12.2 10.81.2.2" ]] ||
  fail "moved: hop 2 answers from '$(addresses "$work/moved" 2)', not from r2 and r2b"
[[ "$(addresses "$work/moved" 4)" == 10.81.4.2 ]] || fail "moved: the host is not hop 4"
grep -q "exit" "$work/moved.err" && fail "moved: did not end with status 0"

if [[ -n "$watch_tool" ]]; then
  echo "an outage behind hop 2, seen by a tracing watcher"
  mkdir "$work/w"
  printf '%s\n' '[Addresses]' 'Count=1' 'Address01=10.81.4.2' '[Ping]' 'Interval=500' 'Timeout=500' \
    '[Logging]' 'UseLogging=0' '[History]' 'Enabled=1' '[Trace]' 'Enabled=1' 'Interval=1000' >"$work/w/path.ini"
  nsx "${ns[0]}" "$watch_tool" --metrics 127.0.0.1:9466 "$work/w/path.ini" >"$work/watch.out" 2>&1 &
  watcher=$!
  sleep 4
  # Each hop in the metrics, by the address that answered there.
  nsx "${ns[0]}" bash -c 'exec 3<>/dev/tcp/127.0.0.1/9466 && printf "GET /metrics HTTP/1.0\r\n\r\n" >&3 && cat <&3' \
    >"$work/metrics" || fail "no metrics from the watcher"
  grep -q '^linkvigil_path_hops{host="10.81.4.2"} 4' "$work/metrics" || fail "the metrics do not give 4 hops"
  for h in 1 2 3; do
    grep -q "^linkvigil_hop_replies_total{host=\"10.81.4.2\",hop=\"$h\",address=\"10.81.$h.2\"} [1-9]" "$work/metrics" ||
      fail "no answers of hop $h (10.81.$h.2) in the metrics"
  done
  nsx "${ns[2]}" nft -f - <<'NFT'
table inet lvtrace {
  chain forward {
    type filter hook forward priority 0;
    drop
  }
}
NFT
  sleep 8
  nsx "${ns[2]}" nft delete table inet lvtrace
  sleep 4
  # The path moves to r2b: the history keeps the change of hop 2.
  detour on
  sleep 4
  detour off
  kill -TERM "$watcher"
  wait "$watcher" || true
  sed 's/^/  watch: /' "$work/watch.out" "$work/w/Outages.csv"
  grep -q '^outage,.*,Beyond the gateway,.*,10\.81\.2\.2,2$' <(tr -d '\r' <"$work/w/Outages.csv") ||
    fail "the outage's row does not name hop 2 (10.81.2.2) as where the path ended"
  if command -v sqlite3 >/dev/null; then
    changes=$(sqlite3 "$work/w/History.db" "SELECT host, hop, before, after FROM route_change" 2>&1)
    echo "  route changes: $changes"
    grep -qx '10.81.4.2|2|10.81.2.2|10.81.12.2' <<<"$changes" || fail "the history lacks hop 2's route change"
    hops=$(sqlite3 "$work/w/History.db" "SELECT group_concat(host, ' ') FROM (SELECT host FROM series ORDER BY host)")
    [[ "$hops" == "10.81.4.2 10.81.4.2#1 10.81.4.2#2 10.81.4.2#3 10.81.4.2#4" ]] ||
      fail "the history's series are '$hops', not the host and its four hops"
  else
    fail "sqlite3 is not installed: scripts/setup.sh installs it"
  fi
fi

((failures == 0)) || exit 1
echo "all path cases hold"
