#!/usr/bin/env bash
# The capability drop seen from outside, run by netns-run.sh (root, client
# namespace, responder started): copies of linkvigil-echo and caps-sequence
# given cap_net_raw+ep, and a set-user-ID root copy of caps-sequence, run as
# nobody. The echo must open its raw socket thanks to the file capability
# and hold no capability at all while it waits for the reply.
#
# Usage: caps-drop.sh ECHO_TOOL CAPS_SEQUENCE FALLBACK_DIR
set -euo pipefail

skip() {
  echo "SKIPPED LOUDLY: capability test: $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(($# == 3)) || { echo "usage: $0 ECHO_TOOL CAPS_SEQUENCE FALLBACK_DIR" >&2; exit 2; }
echo_tool=$1 sequence=$2 fallback=$3
[[ "${LINKVIGIL_NETNS:-}" == 1 ]] || skip "must run inside tests/netns/netns-run.sh"
((EUID == 0)) || skip "not running as root"
command -v setcap >/dev/null || skip "'setcap' not found (package libcap2-bin)"
command -v setpriv >/dev/null || skip "'setpriv' not found (package util-linux)"

nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
delayed=198.18.0.3 # the responder answers after 500 ms

dir=""
trap '[[ -z "$dir" ]] || rm -rf "$dir"' EXIT

# usable BASE: makes $dir in BASE and tells whether nobody can run programs
# there with the file capability honoured (not so on nosuid mounts or on
# file systems without security attributes).
usable() {
  [[ -d "$1" ]] || return 1
  dir=$(mktemp -d "$1/linkvigil-caps.XXXXXX") || return 1
  chmod 755 "$dir"
  cp /bin/cat "$dir/probe"
  setcap cap_net_raw+ep "$dir/probe" 2>/dev/null || return 1
  local permitted
  permitted=$("${nobody[@]}" "$dir/probe" /proc/self/status 2>/dev/null | awk '/^CapPrm:/ { print $2 }') || true
  rm -f "$dir/probe"
  (((16#${permitted:-0} >> 13) & 1))
}

found=""
for base in "${TMPDIR:-/tmp}" "$fallback"; do
  if usable "$base"; then found=$base; break; fi
  echo "caps-drop: $base will not do (missing, or file capabilities not honoured there for nobody)" >&2
  [[ -z "$dir" ]] || rm -rf "$dir"
  dir=""
done
[[ -n "$found" ]] || skip "no folder here honours file capabilities (tried ${TMPDIR:-/tmp} and $fallback)"
echo "caps-drop: using $dir"

install -m 755 "$echo_tool" "$dir/linkvigil-echo"
install -m 755 "$sequence" "$dir/caps-sequence"
install -m 6755 "$sequence" "$dir/caps-sequence-setuid"

# Without the capability, nobody has no raw socket: what follows proves the file capability.
if "${nobody[@]}" "$dir/linkvigil-echo" --socket raw --timeout 300 "$delayed" >/dev/null 2>&1; then
  fail "nobody opened a raw socket without any capability"
fi
setcap cap_net_raw+ep "$dir/linkvigil-echo"
setcap cap_net_raw+ep "$dir/caps-sequence"

# Two echoes, 500 ms apart: the echo waits on its socket for a good second.
"${nobody[@]}" "$dir/linkvigil-echo" --socket raw --timeout 3000 --count 2 --interval 0 "$delayed" \
  >"$dir/echo.out" 2>&1 &
pid=$!

# The one raw socket of nobody in this private namespace is the echo's. Only
# builtins here: forks are slow enough on some machines to miss the wait.
raw_socket_open() {
  local fields
  while read -r -a fields; do [[ "${fields[7]}" == 65534 ]] && return 0; done </proc/net/raw
  return 1
}

for ((i = 0; i < 250; i++)); do
  raw_socket_open && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.02
done
raw_socket_open || { cat "$dir/echo.out" >&2; fail "the echo never held a raw socket"; }
# The sets are dropped right after the socket opens, well before the reply.
sleep 0.2
declare -A sets=()
while read -r key value; do sets[$key]=$value; done </proc/"$pid"/status ||
  fail "the echo ended before its reply"
kill -0 "$pid" 2>/dev/null || fail "the echo ended before its reply"
echo "while waiting for the reply: CapEff ${sets[CapEff:]} CapPrm ${sets[CapPrm:]} CapInh ${sets[CapInh:]}"
for set in CapEff CapPrm CapInh; do
  [[ "${sets[$set:]}" == 0000000000000000 ]] || fail "$set is not empty while the echo waits"
done

rc=0
wait "$pid" || rc=$?
cat "$dir/echo.out"
((rc == 0)) || fail "the echo from the capability copy ended with status $rc"
(($(grep -c "^result=1 status=0 .* from=$delayed " "$dir/echo.out") == 2)) || fail "not two replies from $delayed"

"${nobody[@]}" "$dir/caps-sequence" || fail "capability sequence (file capability)"
"${nobody[@]}" "$dir/caps-sequence-setuid" setuid || fail "capability sequence (set-user-ID root)"
echo "caps-drop: all checks passed"
