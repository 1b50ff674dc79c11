#!/usr/bin/env bash
# Runs the installed template unit's own ExecStart for instance NAME the way
# systemd would start it, where no systemd runs (CI): its specifiers and
# environment filled in, as a user without rights but the unit's ambient
# CAP_NET_RAW, in the state folder systemd makes for a DynamicUser
# (/var/lib/private/linkvigil/NAME, reached through /var/lib/linkvigil).
# It watches for SECONDS, is stopped with SIGTERM, and must have exited 0,
# logged its host's replies in its state folder and served its metrics.
# Run inside the test network. Usage: run-system-unit.sh UNIT NAME SECONDS
set -euo pipefail
unit=$1 name=$2 seconds=$3
fail() { echo "FAIL: $*" >&2; exit 1; }

exec_line=$(sed -n 's/^ExecStart=//p' "$unit")
args=$(sed -n 's/^Environment="LINKVIGIL_WATCH_ARGS=\(.*\)"$/\1/p' "$unit")
[[ -n $exec_line && -n $args ]] || fail "no ExecStart= or LINKVIGIL_WATCH_ARGS in $unit"
exec_line=${exec_line//\$LINKVIGIL_WATCH_ARGS/$args}
exec_line=${exec_line//%S//var/lib}
exec_line=${exec_line//%i/$name}
read -ra command <<<"$exec_line"

# systemd keeps /var/lib/private closed (0700) and opens it only in the
# service's own mount namespace; here it is opened for the run.
state=/var/lib/private/linkvigil/$name
install -d -m 0700 /var/lib/private
mode=$(stat -c %a /var/lib/private)
trap 'chmod "$mode" /var/lib/private' EXIT
chmod 0755 /var/lib/private
install -d -o nobody -g nogroup -m 0700 "$state"
ln -sfn private/linkvigil /var/lib/linkvigil

(umask 0077 && exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
  --inh-caps=+net_raw --ambient-caps=+net_raw --bounding-set=+net_raw \
  "${command[@]}") >/tmp/lv-unit.out 2>&1 &
pid=$!
sleep "$seconds"
exec 3<>/dev/tcp/127.0.0.1/9420 || fail "no metrics served on 127.0.0.1:9420"
printf 'GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
metrics=$(cat <&3)
exec 3<&-
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
((status == 0)) || fail "the watcher exited $status: $(cat /tmp/lv-unit.out)"
log=$state/Connect.log
[[ -s $log ]] || fail "no log in $state: $(ls -la "$state")"
[[ $(stat -c %U "$log") == nobody ]] || fail "the log is not the service user's"
grep -q '^linkvigil_echo_replies_total{[^}]*} [1-9]' <<<"$metrics" ||
  fail "no replies counted: $metrics"
echo "  ${command[*]}: exit 0, $(wc -l <"$log") log lines in $state"
