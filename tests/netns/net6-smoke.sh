#!/usr/bin/env bash
# The IPv6 half of the test network as iputils ping sees it, run by
# netns-run.sh (root, client namespace, responder started): the host's
# answers and nftables rejects, the router's hop-limit and packet-too-big
# errors, and the responder's ICMPv6 rules. The program's own IPv6 tests
# build on exactly these behaviours.
set -uo pipefail

skip() {
  echo "SKIPPED LOUDLY: IPv6 network check: $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}

[[ "${LINKVIGIL_NETNS:-}" == 1 ]] || skip "must run inside tests/netns/netns-run.sh"
command -v ping >/dev/null || skip "'ping' not found (package iputils-ping)"

failures=0
# expect PATTERN PING_ARGS...: one echo (unless the arguments ask for more)
# whose output must match the extended regular expression PATTERN.
expect() {
  local pattern=$1 out
  shift
  out=$(ping -6 -n -c1 -W0.3 "$@" 2>&1)
  if ! grep -Eq -- "$pattern" <<<"$out"; then
    echo "FAIL: ping $* did not show /$pattern/:" >&2
    printf '%s\n' "$out" >&2
    failures=$((failures + 1))
  fi
}

checksum_errors() {
  awk '$1 == "Icmp6InCsumErrors" { print $2 }' /proc/net/snmp6
}

# Host and router.
expect ' 0% packet loss' 2001:db8::1
expect ' 0% packet loss' 2001:db8::10
expect '1 packets transmitted, 0 received, 100%' 2001:db8::2
expect 'Address unreachable' 2001:db8::3
expect 'No route' 2001:db8::4
expect 'Port unreachable' 2001:db8::5
expect 'Administratively prohibited' 2001:db8::7
expect 'From 2001:db8:51::fe .*Time exceeded: Hop limit' -t 1 2001:db8::1
expect 'From 2001:db8:51::fe .*Packet too big: mtu=1280' -s 1400 -M 'do' 2001:db8:203::1
expect 'No route to host' 2001:db8:ff01::1

# The responder.
expect 'from 2001:db8:18::1: icmp_seq=1 ttl=63 ' 2001:db8:18::1
expect '3008 bytes from 2001:db8:18::1' -s 3000 2001:db8:18::1
expect 'time=(2[0-9]|3[0-9])\.' 2001:db8:18::2
expect 'DUP!' -c2 -i0.2 2001:db8:18::4
expect 'icmp_seq=2 ' 2001:db8:18::5
expect 'from 2001:db8:18::1: .*DIFFERENT ADDRESS' 2001:db8:18::7
expect '18 bytes from 2001:db8:18::9' 2001:db8:18::9
expect 'From 2001:db8:18::b .*No route' 2001:db8:18::b
expect 'From 2001:db8:18::c .*Address unreachable' 2001:db8:18::c
expect 'From 2001:db8:18::d .*Packet too big: mtu=1280' 2001:db8:18::d
expect 'From 2001:db8:18::e .*Time exceeded: Hop limit' 2001:db8:18::e
expect 'From 2001:db8:18::f .*Parameter problem' 2001:db8:18::f
expect 'From 2001:db8:18::f .*Parameter problem' -s 3000 2001:db8:18::f # quoted in part
expect '4 packets transmitted, 2 received' -c4 -i0.05 2001:db8:18::10
expect 'icmp_seq=1 .*time=2[0-9][0-9]' -c2 -i0.2 2001:db8:18::12 # the first reply, late
# A spoilt checksum reaches the client, which drops the reply as broken,
# also after reassembling it from fragments.
before=$(checksum_errors)
expect '100% packet loss' 2001:db8:18::8
expect '100% packet loss' -s 3000 2001:db8:18::8
if (($(checksum_errors) != before + 2)); then
  echo "FAIL: the bad-checksum replies did not arrive as such" >&2
  failures=$((failures + 1))
fi

((failures == 0)) || exit 1
echo "IPv6 network: all checks passed"
