# shellcheck shell=bash
# A path of namespaces four hops long, for the trace's tests and benchmark;
# sourced, not run. The caller provides skip().
#
#   client c 10.81.1.1 -- 10.81.1.2 r1 10.81.2.1 -- 10.81.2.2 r2 10.81.3.1
#            -- 10.81.3.2 r3 10.81.4.1 -- 10.81.4.2 host
#
# (IPv6 the same, 2001:db8:81:N::1 and ::2). The host also answers every
# address of 10.82.0.0/24 (AnyIP), four hops away like its own. Routers
# limit none of their ICMP answers. make_path_chain PREFIX sets ns (the
# five namespaces, client first), work (a temporary folder) and nsx
# (NAMESPACE COMMAND...), and removes it all on exit.

# chain_link K A B: link K, $p-aK in namespace A (10.81.K.1, 2001:db8:81:K::1)
# to $p-bK in namespace B (.2, ::2).
chain_link() {
  local k=$1 a=$2 b=$3
  ip link add "$p-a$k" netns "$a" type veth peer name "$p-b$k" netns "$b"
  nsx "$a" ip addr add "10.81.$k.1/24" dev "$p-a$k"
  nsx "$b" ip addr add "10.81.$k.2/24" dev "$p-b$k"
  nsx "$a" ip addr add "2001:db8:81:$k::1/64" dev "$p-a$k" nodad
  nsx "$b" ip addr add "2001:db8:81:$k::2/64" dev "$p-b$k" nodad
  nsx "$a" ip link set "$p-a$k" up
  nsx "$b" ip link set "$p-b$k" up
}

make_path_chain() {
  p=$1
  ns=("$p-c" "$p-r1" "$p-r2" "$p-r3" "$p-h")
  # shellcheck disable=SC2317 # run from the EXIT trap
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
  for k in 1 2 3 4; do chain_link "$k" "${ns[$((k - 1))]}" "${ns[$k]}"; done
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
  nsx "${ns[4]}" ip route add local 10.82.0.0/24 dev lo
  for i in 0 1 2 3; do nsx "${ns[$i]}" ip route add 10.82.0.0/16 via "10.81.$((i + 1)).2"; done
  sleep 1 # IPv6 neighbours and routes settle
}

# add_detour: a sixth namespace r2b beside r2, joining r1 (10.81.12.1 --
# 10.81.12.2 r2b) and r3 (r2b 10.81.13.1 -- 10.81.13.2), IPv6 alike. No
# route takes it until detour on moves r1's route toward the host and r3's
# back to the client over it; detour off moves them back.
add_detour() {
  ns+=("$p-r2b")
  local r2b=$p-r2b
  ip netns add "$r2b"
  nsx "$r2b" ip link set lo up
  nsx "$r2b" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1 \
    net.ipv4.icmp_ratelimit=0 net.ipv6.icmp.ratelimit=0
  chain_link 12 "${ns[1]}" "$r2b"
  chain_link 13 "$r2b" "${ns[3]}"
  nsx "$r2b" ip route add 10.81.0.0/16 via 10.81.13.2
  nsx "$r2b" ip route add 10.81.1.0/24 via 10.81.12.1
  nsx "$r2b" ip -6 route add 2001:db8:81::/48 via 2001:db8:81:13::2
  nsx "$r2b" ip -6 route add 2001:db8:81:1::/64 via 2001:db8:81:12::1
}

detour() { # on|off
  if [[ $1 == on ]]; then
    nsx "${ns[1]}" ip route replace 10.81.4.0/24 via 10.81.12.2
    nsx "${ns[1]}" ip -6 route replace 2001:db8:81:4::/64 via 2001:db8:81:12::2
    nsx "${ns[3]}" ip route replace 10.81.1.0/24 via 10.81.13.1
    nsx "${ns[3]}" ip -6 route replace 2001:db8:81:1::/64 via 2001:db8:81:13::1
  else
    nsx "${ns[1]}" ip route del 10.81.4.0/24
    nsx "${ns[1]}" ip -6 route del 2001:db8:81:4::/64
    nsx "${ns[3]}" ip route replace 10.81.1.0/24 via 10.81.3.1
    nsx "${ns[3]}" ip -6 route replace 2001:db8:81:1::/64 via 2001:db8:81:3::1
  fi
}
