# shellcheck shell=bash
# The test network used by netns-run.sh; sourced, not run. The caller sets
# NS_C, NS_R, NS_H, NS_M and NS_X to five freshly added, empty namespaces
# and provides skip().
#
#   client c0 198.51.100.1  --- rc 198.51.100.254 router
#   host   h0 192.0.2.1-7   --- rh 192.0.2.254    (nft drop/reject rules)
#          lo 198.18.4.0/22                       (AnyIP: all 1024 answer)
#   mtu    m0 203.0.113.1   --- rm 203.0.113.254  (MTU 1000 on both ends)
#   resp.  x0 198.18.0.1-23 --- rx 198.18.0.254   (kernel echo ignored)
#
# The 1024 addresses for echoes to many hosts at once are the kernel host's,
# through a local route (AnyIP): the responder's kernel ignores every echo,
# and the responder itself answers any local address it is given.
#
# The client has no default route, so whatever it sends stays in here, and
# no link ever reaches the root namespace.

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
}'

# ip_batch NS LINE...: one `ip` call per namespace keeps set-up quick.
ip_batch() {
  local ns=$1
  shift
  printf '%s\n' "$@" | ip -n "$ns" -batch -
}

build_topology() {
  local i rule host_addrs=() resp_addrs=()
  # Each veth pair is born inside its two namespaces.
  ip -n "$NS_C" link add c0 type veth peer name rc netns "$NS_R"
  ip -n "$NS_H" link add h0 type veth peer name rh netns "$NS_R"
  ip -n "$NS_M" link add m0 mtu 1000 type veth peer name rm mtu 1000 netns "$NS_R"
  ip -n "$NS_X" link add x0 type veth peer name rx netns "$NS_R"

  ip_batch "$NS_C" "link set lo up" "link set c0 up" \
    "addr add 198.51.100.1/24 dev c0" \
    "route add 192.0.2.0/24 via 198.51.100.254" \
    "route add 203.0.113.0/24 via 198.51.100.254" \
    "route add 198.18.0.0/24 via 198.51.100.254" \
    "route add 198.18.4.0/22 via 198.51.100.254" \
    "route add unreachable 198.19.1.0/24" \
    "route add prohibit 198.19.2.0/24" \
    "route add blackhole 198.19.3.0/24"
  ip_batch "$NS_R" "link set lo up" \
    "addr add 198.51.100.254/24 dev rc" "addr add 192.0.2.254/24 dev rh" \
    "addr add 203.0.113.254/24 dev rm" "addr add 198.18.0.254/24 dev rx" \
    "link set rc up" "link set rh up" "link set rm up" "link set rx up" \
    "route add 198.18.4.0/22 via 192.0.2.1"
  for i in 1 2 3 4 5 6 7; do host_addrs+=("addr add 192.0.2.$i/24 dev h0"); done
  ip_batch "$NS_H" "link set lo up" "${host_addrs[@]}" "link set h0 up" \
    "route add default via 192.0.2.254" "route add local 198.18.4.0/22 dev lo"
  ip_batch "$NS_M" "link set lo up" "addr add 203.0.113.1/24 dev m0" \
    "link set m0 up" "route add default via 203.0.113.254"
  for rule in "${RESPONDER_RULES[@]}"; do resp_addrs+=("addr add ${rule%%=*}/24 dev x0"); done
  ip_batch "$NS_X" "link set lo up" "${resp_addrs[@]}" "link set x0 up" \
    "route add default via 198.18.0.254"

  # Every probe must get its answer or error: no ICMP rate limiting
  # anywhere, and unprivileged ping sockets for tests in the client.
  local no_limit=(net.ipv4.icmp_ratelimit=0 net.ipv4.icmp_ratemask=0)
  ip netns exec "$NS_C" sysctl -qw net.ipv4.ping_group_range="0 2147483647"
  ip netns exec "$NS_R" sysctl -qw net.ipv4.ip_forward=1 "${no_limit[@]}"
  ip netns exec "$NS_H" sysctl -qw "${no_limit[@]}"
  ip netns exec "$NS_M" sysctl -qw "${no_limit[@]}"
  ip netns exec "$NS_X" sysctl -qw net.ipv4.icmp_echo_ignore_all=1 "${no_limit[@]}"

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
    "198.18.0.2 slow-host.test" >"$1/hosts"
  printf '%s\n' "passwd: files" "group: files" "shadow: files" "gshadow: files" \
    "hosts: files" "networks: files" "protocols: files" "services: files" \
    >"$1/nsswitch.conf"
  echo "nameserver 127.0.0.1" >"$1/resolv.conf"
}
