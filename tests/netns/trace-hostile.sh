#!/usr/bin/env bash
# The path trace against answers that are not about its probes, run by
# netns-run.sh (root, client namespace, responder started). The responder
# is hop 2 and answers every probe that reaches it, whatever its hop limit:
#
#   198.18.0.19 / 2001:db8:18::e    a proper time-exceeded, quoting our probe
#   198.18.0.24 / 2001:db8:18::18   the same, quoting another identifier
#   198.18.0.25 / 2001:db8:18::19   the same, quoting our IP header alone
#   198.18.0.7  / 2001:db8:18::7    an echo reply from ::1 / .1 instead
#
# The proper error must make the responder hop 2; the others must count
# for nothing: hop 2 is "*", the forged source named nowhere, and the trace
# ends with status 1 (the host never answered). Each with the ping socket
# and the raw one.
#
# Usage: trace-hostile.sh LINKVIGIL-ECHO
set -euo pipefail
echo_tool=$1

skip() {
  echo "SKIPPED: the hostile trace test needs root and netns-run.sh: $*" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}
[[ "${LINKVIGIL_NETNS:-}" == 1 ]] || skip "must run inside tests/netns/netns-run.sh"
((EUID == 0)) || skip "not running as root"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
field() { # FILE HOP KEY: KEY of the first line of HOP
  awk -v h="hop=$2" -v k="$3=" '$1 == h { for (i = 2; i <= NF; i++) if (index($i, k) == 1) { print substr($i, length(k) + 1); exit } }' "$1"
}

proper=(198.18.0.19 2001:db8:18::e)
hostile=(198.18.0.24 198.18.0.25 198.18.0.7 2001:db8:18::18 2001:db8:18::19 2001:db8:18::7)

for socket in ping raw; do
  echo "$socket socket"
  # One trace per address, all at once: each has a socket of its own and
  # a target no other traces.
  pids=()
  for target in "${proper[@]}" "${hostile[@]}"; do
    "$echo_tool" --trace --socket "$socket" --count 3 --interval 300 --timeout 250 "$target" \
      >"$work/$socket-$target" 2>&1 &
    pids+=("$!")
  done
  i=0
  for target in "${proper[@]}" "${hostile[@]}"; do
    status=0
    wait "${pids[$i]}" || status=$?
    i=$((i + 1))
    echo "$status" >"$work/$socket-$target.status"
    # Hops 3 to 30 go the way of hop 2: not shown.
    grep -E '^hop=[12] |^path:|linkvigil-echo' "$work/$socket-$target" | sed "s/^/  $socket $target: /" || true
  done

  for target in "${proper[@]}" "${hostile[@]}"; do
    out="$work/$socket-$target"
    [[ "$(<"$out.status")" == 1 ]] || fail "$socket $target: status $(<"$out.status"), not 1"
    [[ "$(field "$out" 1 address)" == 198.51.100.254 || "$(field "$out" 1 address)" == 2001:db8:51::fe ]] ||
      fail "$socket $target: hop 1 is not the router"
  done
  for target in "${proper[@]}"; do
    out="$work/$socket-$target"
    [[ "$(field "$out" 2 address)" == "$target" && "$(field "$out" 2 received)" == 3 ]] ||
      fail "$socket $target: hop 2 is not the responder answering all 3"
  done
  for target in "${hostile[@]}"; do
    out="$work/$socket-$target"
    [[ "$(field "$out" 2 address)" == "*" ]] || fail "$socket $target: hop 2 is counted"
    # Only the router at hop 1 is named: neither the responder nor the
    # spoofed source anywhere.
    answered=$(grep -c '^hop=[0-9]* address=[^*]' "$out" || true)
    ((answered == 1)) || fail "$socket $target: $answered lines name a responder, not only the router's"
  done
done

((failures == 0)) || exit 1
echo "all hostile trace cases hold"
