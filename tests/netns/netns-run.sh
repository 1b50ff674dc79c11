#!/usr/bin/env bash
# Runs a command inside a private, throw-away test network (topology.sh) so
# that the real-ICMP tests can send echo requests without any packet
# leaving the machine.
#
# Usage: netns-run.sh [--responder PATH] -- COMMAND [ARGS...]
#
# COMMAND runs in the client namespace with LINKVIGIL_NETNS=1 and the names
# of all namespaces in LINKVIGIL_NETNS_{CLIENT,ROUTER,HOST,MTU,RESPONDER}.
# Its exit status becomes ours. With --responder, PATH is started in the
# responder namespace with the rules from topology.sh and must print
# "ready" within 5 s. Everything is torn down on exit, failure and
# INT/TERM/HUP. Without root or namespaces we exit 77 (skip), or 1 when
# CI=true, since there the tests must run.
set -euo pipefail

here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
# shellcheck source-path=SCRIPTDIR source=topology.sh
source "$here/topology.sh"

usage() {
  echo "usage: $0 [--responder PATH] -- COMMAND [ARGS...]" >&2
  exit 2
}

skip() {
  echo "SKIPPED: real-ICMP tests need root and network namespaces" \
    "(run as root, e.g. in CI): $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}

die() {
  echo "netns-run: $*" >&2
  exit 1
}

responder=""
while (($#)); do
  case "$1" in
    --responder) (($# >= 2)) || usage; responder=$2; shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
(($#)) || usage
if [[ -n "$responder" ]]; then
  [[ -f "$responder" && -x "$responder" ]] || die "responder '$responder' is not an executable"
  responder=$(realpath "$responder")
fi

((EUID == 0)) || skip "not running as root"
command -v ip >/dev/null || skip "'ip' (iproute2) not found"
command -v nft >/dev/null || skip "'nft' (nftables) not found"

# Our PID keeps the names apart from concurrent runs. A namespace left by a
# killed run whose PID has come round again is not ours to touch: take
# another prefix instead.
our_namespaces() {
  ip netns list 2>/dev/null | awk -v p="$prefix-" 'index($1, p) == 1 { print $1 }'
}
prefix="lv$$"
while [[ -n "$(our_namespaces)" ]]; do prefix="lv$$r$RANDOM"; done
NS_C="$prefix-c" NS_R="$prefix-r" NS_H="$prefix-h" NS_M="$prefix-m" NS_X="$prefix-x"
etc_dir="/etc/netns/$NS_C"
work_dir=""
responder_pid=""
cmd_pid=""

# The functions below only run from the EXIT trap.

# shellcheck disable=SC2317
pids_in_our_namespaces() {
  local ns
  for ns in $(our_namespaces); do ip netns pids "$ns" 2>/dev/null || true; done
}

# Whatever still runs in our namespaces was started by this run: the
# responder, COMMAND and anything COMMAND left behind. Ask it to stop, give
# it 2 s, then kill it, so that no namespace outlives us.
# shellcheck disable=SC2317
cleanup() {
  local rc=$? ns i pids
  trap - EXIT ERR
  trap '' INT TERM HUP
  set +e
  pids=$(pids_in_our_namespaces)
  # shellcheck disable=SC2086
  kill -TERM $pids $responder_pid $cmd_pid 2>/dev/null
  for ((i = 0; i < 40; i++)); do
    pids=$(pids_in_our_namespaces)
    [[ -z "$pids" ]] && break
    sleep 0.05
  done
  # shellcheck disable=SC2086
  [[ -n "$pids" ]] && kill -KILL $pids 2>/dev/null
  for ns in $(our_namespaces); do
    ip netns delete "$ns" || echo "netns-run: could not delete namespace $ns" >&2
  done
  rm -rf "$etc_dir" ${work_dir:+"$work_dir"}
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

ip netns add "$NS_C" 2>/dev/null || skip "'ip netns add' failed"
trap 'echo "netns-run: set-up failed at ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND" >&2' ERR
set -E
for ns in "$NS_R" "$NS_H" "$NS_M" "$NS_X"; do ip netns add "$ns"; done
build_topology
write_client_etc "$etc_dir"

if [[ -n "$responder" ]]; then
  work_dir=$(mktemp -d /tmp/linkvigil-netns.XXXXXX)
  : >"$work_dir/responder.out"
  args=()
  for rule in "${RESPONDER_RULES[@]}"; do args+=(--rule "$rule"); done
  set +E # the background job reports its own failure below
  ip netns exec "$NS_X" "$responder" "${args[@]}" >"$work_dir/responder.out" &
  responder_pid=$!
  set -E
  deadline=$((${EPOCHREALTIME//[!0-9]/} + 5000000))
  until grep -qx ready "$work_dir/responder.out"; do
    if ! kill -0 "$responder_pid" 2>/dev/null; then
      status=0
      wait "$responder_pid" || status=$?
      responder_pid=""
      sed 's/^/responder: /' "$work_dir/responder.out" >&2
      die "responder '$responder' exited with status $status before printing 'ready'"
    fi
    if ((${EPOCHREALTIME//[!0-9]/} > deadline)); then
      sed 's/^/responder: /' "$work_dir/responder.out" >&2
      die "responder '$responder' did not print 'ready' within 5 s"
    fi
    sleep 0.02
  done
fi

trap - ERR
set +E
export LINKVIGIL_NETNS=1 LINKVIGIL_NETNS_CLIENT="$NS_C" LINKVIGIL_NETNS_ROUTER="$NS_R" \
  LINKVIGIL_NETNS_HOST="$NS_H" LINKVIGIL_NETNS_MTU="$NS_M" LINKVIGIL_NETNS_RESPONDER="$NS_X"

# COMMAND runs as a background job so that INT/TERM reach our trap at once;
# it keeps our stdin, and env undoes the SIGINT/SIGQUIT ignore that bash
# gives background jobs.
env --default-signal=INT,QUIT ip netns exec "$NS_C" "$@" <&0 &
cmd_pid=$!
status=0
wait "$cmd_pid" || status=$?
cmd_pid=""
exit "$status"
