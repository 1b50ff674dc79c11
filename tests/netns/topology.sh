# shellcheck shell=bash
# The test network used by netns-run.sh; sourced, not run. The caller sets
# NS_C, NS_R, NS_H, NS_M and NS_X to five freshly added, empty namespaces
# and provides skip().
#
#   client c0  198.51.100.1   --- rc  198.51.100.254  router
#              2001:db8:51::1         2001:db8:51::fe
#   host   h0  192.0.2.1-7    --- rh  192.0.2.254     (nft drop/reject rules)
#              2001:db8::1-7,10       2001:db8::fe
#          lo  198.18.4.0/22                          (AnyIP: all 1024 answer)
#          lo  198.18.64.0/18                         (AnyIP: 16384 more, for benchmarks)
#   mtu    m0  203.0.113.1    --- rm  203.0.113.254   (MTU 1000 on both ends)
#          m6  2001:db8:203::1 -- rm6 2001:db8:203::fe (MTU 1280 on both ends)
#   resp.  x0  198.18.0.1-25  --- rx  198.18.0.254    (kernel echo ignored)
#              2001:db8:18::N         2001:db8:18::fe
#
# The 1024 addresses for echoes to many hosts at once are the kernel host's,
# through a local route (AnyIP): the responder's kernel ignores every echo,
# and the responder itself answers any local address it is given.
#
# IPv6 needs an MTU of at least 1280, so its "packet too big" comes from a
# link of its own. Addresses are added without duplicate address detection,
# so they are usable at once.
#
# The client has no default route in either family, so whatever it sends
# stays in here, and no link ever reaches the root namespace.

# How the responder treats each of its addresses, one per line; every
# address listed here is put on the responder's link.
RESPONDER_RULES=(
  198.18.0.1=normal
  198.18.0.2=delay=20
  198.18.0.3=delay=500
  198.18.0.4=dup=50
  198.18.0.5=wrongseq
  198.18.0.6=wrongid
  198.18.0.7=spoof=198.18.0.1
  198.18.0.8=badsum
  198.18.0.9=truncate=10
  198.18.0.10=baddata
  198.18.0.11=error=3/1
  198.18.0.12=error-wrongseq=3/1
  198.18.0.13=error=5/1
  198.18.0.14=error=12/0
  198.18.0.15=error=4/0
  198.18.0.16=loss=.x
  198.18.0.17=error=11/1
  198.18.0.18=stale
  198.18.0.19=error=11/0
  198.18.0.20=delay=200
  # 30 s answered, then 30 s with every third or fourth lost (30 %), at 100 ms
  198.18.0.21=loss=............................................................................................................................................................................................................................................................................................................x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...x..x..x...
  198.18.0.22=delay=30
  "198.18.0.23=error=3/4,delay=50"
  # Time-exceeded errors that are not about our request, for the trace
  198.18.0.24=error-wrongid=11/0
  198.18.0.25=error-truncate=11/0
  # IPv6: error TYPE/CODE are ICMPv6 ones (1/0 no route, 1/3 address
  # unreachable, 2/0 packet too big, 3/0 hop limit, 4/0 parameter problem)
  2001:db8:18::1=normal
  2001:db8:18::2=delay=20
  2001:db8:18::3=delay=500
  2001:db8:18::4=dup=50
  2001:db8:18::5=wrongseq
  2001:db8:18::6=wrongid
  2001:db8:18::7=spoof=2001:db8:18::1
  2001:db8:18::8=badsum
  2001:db8:18::9=truncate=10
  2001:db8:18::a=baddata
  2001:db8:18::b=error=1/0
  2001:db8:18::c=error=1/3
  2001:db8:18::d=error=2/0
  2001:db8:18::e=error=3/0
  2001:db8:18::f=error=4/0
  2001:db8:18::10=loss=.x
  2001:db8:18::11=error-wrongseq=1/3
  2001:db8:18::12=stale
  2001:db8:18::16=delay=30
  "2001:db8:18::17=error=2/0,delay=50"
  2001:db8:18::18=error-wrongid=3/0
  2001:db8:18::19=error-truncate=3/0
)

# Echo requests to the kernel host's extra addresses meet these rules.
HOST_NFT_RULES='
table ip linkvigil {
  chain input {
    type filter hook input priority 0; policy accept;
    icmp type echo-request ip daddr 192.0.2.2 drop
    icmp type echo-request ip daddr 192.0.2.3 reject with icmp type host-unreachable
    icmp type echo-request ip daddr 192.0.2.4 reject with icmp type net-unreachable
    icmp type echo-request ip daddr 192.0.2.5 reject with icmp type port-unreachable
    icmp type echo-request ip daddr 192.0.2.6 reject with icmp type prot-unreachable
    icmp type echo-request ip daddr 192.0.2.7 reject with icmp type admin-prohibited
  }
}
table ip6 linkvigil {
  chain input {
    type filter hook input priority 0; policy accept;
    icmpv6 type echo-request ip6 daddr 2001:db8::2 drop
    icmpv6 type echo-request ip6 daddr 2001:db8::3 reject with icmpv6 type addr-unreachable
    icmpv6 type echo-request ip6 daddr 2001:db8::4 reject with icmpv6 type no-route
    icmpv6 type echo-request ip6 daddr 2001:db8::5 reject with icmpv6 type port-unreachable
    icmpv6 type echo-request ip6 daddr 2001:db8::7 reject with icmpv6 type admin-prohibited
  }
}'

# ip_batch NS LINE...: one `ip` call per namespace keeps set-up quick.
ip_batch() {
  local ns=$1
  shift
  printf '%s\n' "$@" | ip -n "$ns" -batch -
}

build_topology() {
  local i rule address host_addrs=() resp_addrs=()
  # Every probe must get its answer or error: no ICMP rate limiting
  # anywhere, and unprivileged ping sockets (of both families) for tests in
  # the client. Set before the links exist, so that their link-local
  # addresses skip duplicate address detection too: while those are
  # tentative, a router cannot ask for the neighbours it forwards to.
  local no_dad=net.ipv6.conf.default.accept_dad=0
  local no_limit=("$no_dad" net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_ratemask=0
    net.ipv6.icmp.ratelimit=0 net.ipv6.icmp.ratemask=)
  ip netns exec "$NS_C" sysctl -qw "$no_dad" net.ipv4.ping_group_range="0 2147483647"
  ip netns exec "$NS_R" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1 "${no_limit[@]}"
  ip netns exec "$NS_H" sysctl -qw "${no_limit[@]}"
  ip netns exec "$NS_M" sysctl -qw "${no_limit[@]}"
  ip netns exec "$NS_X" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 net.ipv6.icmp.echo_ignore_all=1 \
    "${no_limit[@]}"

  # Each veth pair is born inside its two namespaces. The router's ends get
  # interface indexes no other end has: the kernel handles the carrier
  # coming up at once only on a veth whose index differs from its peer's,
  # and otherwise sets up IPv6 on the link up to a second later.
  ip -n "$NS_R" link add rc index 10 type veth peer name c0 netns "$NS_C"
  ip -n "$NS_R" link add rh index 11 type veth peer name h0 netns "$NS_H"
  ip -n "$NS_R" link add rm index 12 mtu 1000 type veth peer name m0 mtu 1000 netns "$NS_M"
  ip -n "$NS_R" link add rm6 index 13 mtu 1280 type veth peer name m6 mtu 1280 netns "$NS_M"
  ip -n "$NS_R" link add rx index 14 type veth peer name x0 netns "$NS_X"

  ip_batch "$NS_C" "link set lo up" "link set c0 up" \
    "addr add 198.51.100.1/24 dev c0" \
    "route add 192.0.2.0/24 via 198.51.100.254" \
    "route add 203.0.113.0/24 via 198.51.100.254" \
    "route add 198.18.0.0/24 via 198.51.100.254" \
    "route add 198.18.4.0/22 via 198.51.100.254" \
    "route add 198.18.64.0/18 via 198.51.100.254" \
    "route add unreachable 198.19.1.0/24" \
    "route add prohibit 198.19.2.0/24" \
    "route add blackhole 198.19.3.0/24" \
    "addr add 2001:db8:51::1/64 dev c0 nodad" \
    "route add 2001:db8::/64 via 2001:db8:51::fe" \
    "route add 2001:db8:203::/64 via 2001:db8:51::fe" \
    "route add 2001:db8:18::/64 via 2001:db8:51::fe" \
    "route add unreachable 2001:db8:ff01::/48" \
    "route add prohibit 2001:db8:ff02::/48" \
    "route add blackhole 2001:db8:ff03::/48"
  ip_batch "$NS_R" "link set lo up" \
    "addr add 198.51.100.254/24 dev rc" "addr add 192.0.2.254/24 dev rh" \
    "addr add 203.0.113.254/24 dev rm" "addr add 198.18.0.254/24 dev rx" \
    "addr add 2001:db8:51::fe/64 dev rc nodad" "addr add 2001:db8::fe/64 dev rh nodad" \
    "addr add 2001:db8:203::fe/64 dev rm6 nodad" "addr add 2001:db8:18::fe/64 dev rx nodad" \
    "link set rc up" "link set rh up" "link set rm up" "link set rm6 up" "link set rx up" \
    "route add 198.18.4.0/22 via 192.0.2.1" "route add 198.18.64.0/18 via 192.0.2.1"
  for i in 1 2 3 4 5 6 7; do host_addrs+=("addr add 192.0.2.$i/24 dev h0"); done
  for i in 1 2 3 4 5 6 7 10; do host_addrs+=("addr add 2001:db8::$i/64 dev h0 nodad"); done
  ip_batch "$NS_H" "link set lo up" "${host_addrs[@]}" "link set h0 up" \
    "route add default via 192.0.2.254" "route add ::/0 via 2001:db8::fe" \
    "route add local 198.18.4.0/22 dev lo" "route add local 198.18.64.0/18 dev lo"
  ip_batch "$NS_M" "link set lo up" "addr add 203.0.113.1/24 dev m0" \
    "addr add 2001:db8:203::1/64 dev m6 nodad" "link set m0 up" "link set m6 up" \
    "route add default via 203.0.113.254" "route add ::/0 via 2001:db8:203::fe"
  for rule in "${RESPONDER_RULES[@]}"; do
    address=${rule%%=*}
    if [[ "$address" == *:* ]]; then
      resp_addrs+=("addr add $address/64 dev x0 nodad")
    else
      resp_addrs+=("addr add $address/24 dev x0")
    fi
  done
  ip_batch "$NS_X" "link set lo up" "${resp_addrs[@]}" "link set x0 up" \
    "route add default via 198.18.0.254" "route add ::/0 via 2001:db8:18::fe"

  # A kernel without nf_tables cannot run these tests at all.
  ip netns exec "$NS_H" nft -f - <<<"$HOST_NFT_RULES" ||
    skip "nftables rules could not be loaded"
}

# write_client_etc DIR: files that `ip netns exec` mounts over /etc in the
# client. Names resolve from the hosts file only, so an unknown name fails
# at once and no DNS query is ever sent.
write_client_etc() {
  mkdir -p "$1"
  printf '%s\n' "127.0.0.1 localhost" "192.0.2.1 echo-host.test" \
    "198.18.0.2 slow-host.test" "2001:db8::1 echo6-host.test" \
    "2001:db8::10 v6only.test" "192.0.2.1 dual-host.test" \
    "2001:db8::10 dual-host.test" >"$1/hosts"
  printf '%s\n' "passwd: files" "group: files" "shadow: files" "gshadow: files" \
    "hosts: files" "networks: files" "protocols: files" "services: files" \
    >"$1/nsswitch.conf"
  echo "nameserver 127.0.0.1" >"$1/resolv.conf"
}
