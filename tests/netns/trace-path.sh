#!/usr/bin/env bash
# The path trace on a real path of namespaces, four hops long:
#
#   client c 10.81.1.1 -- 10.81.1.2 r1 10.81.2.1 -- 10.81.2.2 r2 10.81.3.1
#            -- 10.81.3.2 r3 10.81.4.1 -- 10.81.4.2 host
#
# (IPv6 the same, 2001:db8:81:N::1 and ::2). linkvigil-echo --trace must
# name every hop's address as mtr --report does, per family; loss put on
# r2's forwarding must show from hop 3 on and be named as starting there;
# a router that limits its time-exceeded answers is marked and the path
# not blamed; a router that never answers is a "*" between answering hops.
#
# Usage: trace-path.sh LINKVIGIL-ECHO. Needs root (exit 77 without, or 1
# when CI=true).
set -euo pipefail
echo_tool=$1

skip() {
  echo "SKIPPED: the path trace test needs root and network namespaces (run as root, e.g. in CI): $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}
((EUID == 0)) || skip "not running as root"
command -v ip >/dev/null || skip "'ip' (iproute2) not found"
command -v nft >/dev/null || skip "'nft' (nftables) not found"

p="lvt$$"
ns=("$p-c" "$p-r1" "$p-r2" "$p-r3" "$p-h")
cleanup() {
  local n
  for n in "${ns[@]}"; do ip netns pids "$n" 2>/dev/null | xargs -r kill -KILL 2>/dev/null || true; done
  for n in "${ns[@]}"; do ip netns delete "$n" 2>/dev/null || true; done
  rm -rf "${work:-}"
}
trap cleanup EXIT
ip netns add "${ns[0]}" 2>/dev/null || skip "'ip netns add' failed"
for n in "${ns[@]:1}"; do ip netns add "$n"; done
work=$(mktemp -d)
nsx() { ip netns exec "$1" "${@:2}"; }

for i in 0 1 2 3 4; do
  nsx "${ns[$i]}" ip link set lo up
  nsx "${ns[$i]}" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1 \
    net.ipv4.icmp_ratelimit=0 net.ipv6.icmp.ratelimit=0
done
# Link k joins namespace k-1 (its .1 / ::1) and namespace k (its .2 / ::2).
for k in 1 2 3 4; do
  a=${ns[$((k - 1))]} b=${ns[$k]}
  ip link add "$p-a$k" netns "$a" type veth peer name "$p-b$k" netns "$b"
  nsx "$a" ip addr add "10.81.$k.1/24" dev "$p-a$k"
  nsx "$b" ip addr add "10.81.$k.2/24" dev "$p-b$k"
  nsx "$a" ip addr add "2001:db8:81:$k::1/64" dev "$p-a$k" nodad
  nsx "$b" ip addr add "2001:db8:81:$k::2/64" dev "$p-b$k" nodad
  nsx "$a" ip link set "$p-a$k" up
  nsx "$b" ip link set "$p-b$k" up
done
# Toward the host: each hop's next; back: each hop's previous.
for i in 0 1 2 3; do
  nsx "${ns[$i]}" ip route add 10.81.0.0/16 via "10.81.$((i + 1)).2" 2>/dev/null || true
  nsx "${ns[$i]}" ip -6 route add 2001:db8:81::/48 via "2001:db8:81:$((i + 1))::2" 2>/dev/null || true
done
for i in 1 2 3 4; do
  nsx "${ns[$i]}" ip route add 10.81.1.0/24 via "10.81.$i.1" 2>/dev/null || true
  nsx "${ns[$i]}" ip -6 route add 2001:db8:81:1::/64 via "2001:db8:81:$i::1" 2>/dev/null || true
done
nsx "${ns[4]}" ip route add default via 10.81.4.1
nsx "${ns[4]}" ip -6 route add default via 2001:db8:81:4::1
sleep 1 # IPv6 neighbours and routes settle

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

echo "30 % loss on r2's forwarding"
nsx "${ns[2]}" nft -f - <<'NFT'
table inet lvtrace {
  chain forward {
    type filter hook forward priority 0;
    numgen random mod 100 < 30 drop
  }
}
NFT
trace lossy --count 100 --interval 200 10.81.4.2
for h in 1 2; do
  loss=$(field "$work/lossy" "$h" loss)
  awk -v l="${loss%\%}" 'BEGIN { exit !(l < 10) }' || fail "lossy: hop $h loses $loss"
done
grep -qx "path: loss starts at hop 3 (10.81.3.2)" "$work/lossy" || fail "lossy: the loss is not named as starting at hop 3"
if command -v mtr >/dev/null; then
  nsx "${ns[0]}" mtr --report --no-dns -c 100 -i 0.2 10.81.4.2 >"$work/mtr-lossy" 2>&1 || true
  sed 's/^/  mtr: /' "$work/mtr-lossy"
  for h in 1 2 3 4; do
    theirs=$(awk -v h="$h.|--" '$1 == h { sub(/%/, "", $3); print $3 }' "$work/mtr-lossy")
    ours=$(field "$work/lossy" "$h" loss)
    awk -v a="${ours%\%}" -v b="${theirs:-999}" 'BEGIN { d = a - b; exit !(d < 10 && d > -10) }' ||
      fail "lossy: hop $h loses ${ours} here, ${theirs:-?}% by mtr"
  done
fi
nsx "${ns[2]}" nft delete table inet lvtrace

echo "r2 limits its time-exceeded answers"
nsx "${ns[2]}" sysctl -qw net.ipv4.icmp_ratelimit=2000
trace limited --count 40 --interval 200 10.81.4.2
[[ "$(field "$work/limited" 2 note)" == limits-answers ]] || fail "limited: hop 2 is not marked"
grep -q "^path:" "$work/limited" && fail "limited: the path is blamed"
nsx "${ns[2]}" sysctl -qw net.ipv4.icmp_ratelimit=0

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

((failures == 0)) || exit 1
echo "all path cases hold"
