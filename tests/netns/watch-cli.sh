#!/usr/bin/env bash
# The watcher's command line: each bad argument or settings file ends it with
# exit status 2 and a message naming the culprit, before any echo is sent.
# A folder's entries that cannot be settings files are named and left out,
# and SIGTERM ends the start-up at once.
#
# Usage: watch-cli.sh WATCH_BINARY
set -euo pipefail

(($# == 1)) || { echo "usage: $0 WATCH_BINARY" >&2; exit 2; }
watch=$1
dir=$(mktemp -d /tmp/linkvigil-watch-cli.XXXXXX)
trap 'rm -rf "$dir"' EXIT
failures=0

# expect STATUS TEXT ARGS...: the watcher run with ARGS exits with STATUS and
# says TEXT (a fixed string) on stderr, or on stdout for status 0.
expect() {
  local want=$1 text=$2 status=0 out
  shift 2
  out=$(timeout 10 "$watch" "$@" 2>&1) || status=$?
  if ((status != want)) || [[ "$out" != *"$text"* ]]; then
    echo "FAIL: linkvigil-watch $*: status $status (want $want), output:" >&2
    printf '%s\n' "$out" "(wanted: $text)" >&2
    failures=$((failures + 1))
  fi
}

# expect_alone STATUS LINE ARGS...: as expect, with LINE the whole output.
expect_alone() {
  local want=$1 line=$2 status=0 out
  shift 2
  out=$(timeout 10 "$watch" "$@" 2>&1) || status=$?
  if ((status != want)) || [[ "$out" != "$line" ]]; then
    echo "FAIL: linkvigil-watch $*: status $status (want $want), output:" >&2
    printf '%s\n' "$out" "(wanted only: $line)" >&2
    failures=$((failures + 1))
  fi
}

# settings NAME LINE...: a settings file watching 127.0.0.1 with LINE added.
settings() {
  local name=$1
  shift
  printf '%s\n' "[Addresses]" "Count=1" "Address01=127.0.0.1" "[Ping]" "$@" >"$dir/$name.ini"
}

mkdir "$dir/empty" "$dir/pair"
touch "$dir/empty/notes.txt"
settings good "Interval=1000"
settings letters "Interval=abc"
settings limit "Interval=1000" "[Logging]" "LogfileLimitKb=xyz"
printf '%s\n' "[Addresses]" "Count=1" "[Ping]" "Interval=1000" >"$dir/nohost.ini"
for name in one two; do
  printf '%s\n' "[Addresses]" "Count=1" "Address01=127.0.0.1" "[Logging]" "UseLogging=1" \
    "LogFile=shared.log" >"$dir/pair/$name.ini"
done

# A folder's FIFO, folder, link loop, link to nothing and unreadable file are
# each named and left out (the FIFO never opened); its one usable file then
# names no host. The watcher reads without its capabilities, so even root
# cannot read a file of mode 000.
mkdir "$dir/mixed" "$dir/mixed/dir.ini" "$dir/skipped"
mkfifo "$dir/mixed/fifo.ini" "$dir/skipped/fifo.ini"
ln -s loop.ini "$dir/mixed/loop.ini"
ln -s gone "$dir/mixed/dangling.ini"
settings mixed/secret "Interval=1000"
chmod 000 "$dir/mixed/secret.ini"
cp "$dir/nohost.ini" "$dir/mixed/"
for entry in "dangling.ini: skipped, it is a symbolic link to nothing" "dir.ini: skipped, it is a folder" \
  "fifo.ini: skipped, it is a FIFO" "loop.ini: skipped, it is a symbolic link loop" \
  "secret.ini: skipped, it cannot be read (Permission denied)" "nohost.ini: names no host"; do
  expect 2 "linkvigil-watch: $dir/mixed/$entry" "$dir/mixed"
done
expect 2 "linkvigil-watch: nothing left to watch" "$dir/skipped"
expect 2 "$dir/skipped/fifo.ini: it is a FIFO" "$dir/skipped/fifo.ini"
expect 2 "$dir/mixed/secret.ini: it cannot be read (Permission denied)" "$dir/mixed/secret.ini"

# Each case below ends with a file naming no host, so that a watcher that
# misses the fault still stops before any echo.
# One settings file through two paths is one host: what is left to complain
# about is the file naming none.
ln -s . "$dir/alias"
expect_alone 2 "linkvigil-watch: $dir/nohost.ini: names no host ([Addresses] Address01)" \
  "$dir/good.ini" "$dir/alias/good.ini" "$dir/nohost.ini"
# One log through a linked folder (not made yet), or through a link to it.
mkdir "$dir/real" "$dir/other"
ln -s real "$dir/linked"
ln -s ../real/shared.log "$dir/other/alias.log"
for file in real/one:127.0.0.1:shared.log other/two:127.0.0.2:../linked/shared.log other/three:127.0.0.3:alias.log; do
  IFS=: read -r name host log <<<"$file"
  printf '%s\n' "[Addresses]" "Count=1" "Address01=$host" "[Logging]" "UseLogging=1" "LogFile=$log" >"$dir/$name.ini"
done
expect 2 "$dir/real/one.ini and $dir/other/two.ini both log to $dir/real/shared.log" \
  "$dir/real/one.ini" "$dir/other/two.ini" "$dir/nohost.ini"
touch "$dir/real/shared.log"
expect 2 "$dir/real/one.ini and $dir/other/three.ini both log to $dir/real/shared.log" \
  "$dir/real/one.ini" "$dir/other/three.ini" "$dir/nohost.ini"
# Two files for one host (as typed, blanks trimmed) would give one series.
mkdir "$dir/twins"
settings twins/a "Interval=1000"
settings twins/b "Interval=1000"
sed -i 's/^Address01=.*/Address01= 127.0.0.1 /' "$dir/twins/b.ini"
expect 2 "$dir/twins/a.ini and $dir/twins/b.ini both watch 127.0.0.1" "$dir/twins" "$dir/nohost.ini"
settings badperiod "[Logging]" "PeriodAmount=abc" "PeriodType=1"
expect 2 "$dir/badperiod.ini: [Logging] PeriodAmount=abc is no whole number" "$dir/badperiod.ini" "$dir/nohost.ini"

# --report: never over the host's settings file, its log, the ledger or a
# file beside it; without a ledger at the host's path it says so.
mkdir "$dir/rep"
printf '%s\n' "[Addresses]" "Count=1" "Address01=127.0.0.1" "[Logging]" "LogFile=r.log" >"$dir/rep/r.ini"
expect 2 "no ledger found at $dir/rep/Outages.csv" --report 2026-11-01..2026-11-02 "$dir/rep/r.ini" "$dir/rep/r.pdf"
printf 'kind,start,end,duration_s,host,address,echoes_lost,first_status,cause,causes_seen,gateway,interface,note\r\n' \
  >"$dir/rep/Outages.csv"
expect 2 "is the settings file or the log of 127.0.0.1" --report 2026-11-01.. "$dir/rep/r.ini" "$dir/rep/r.ini"
expect 2 "is the settings file or the log of 127.0.0.1" --report 2026-11-01.. "$dir/rep/r.ini" "$dir/rep/./r.log"
expect 2 "is the outage ledger or a file beside it" --report 2026-11-01.. "$dir/rep/r.ini" "$dir/rep/Outages.csv"
expect 2 "is a folder" --report 2026-11-01.. "$dir/rep/r.ini" "$dir/rep"
[[ "$(head -c 4 "$dir/rep/r.ini")" == "[Add" ]] || { echo "FAIL: the settings file was written over" >&2; failures=$((failures + 1)); }

expect 0 "usage: linkvigil-watch" --help
expect 2 "no settings file given"
expect 2 "unknown option --bogus" --bogus "$dir/good.ini"
expect 2 "$dir/missing.ini: no such file" "$dir/missing.ini"
expect 2 "$dir/empty: the folder holds no *.ini file" "$dir/empty"
expect 2 "$dir/nohost.ini: names no host" "$dir/nohost.ini"
expect 2 "$dir/letters.ini: [Ping] Interval=abc is no whole number" "$dir/letters.ini"
expect 2 "$dir/limit.ini: [Logging] LogfileLimitKb" "$dir/limit.ini"
expect 2 "$dir/pair/one.ini and $dir/pair/two.ini both log to $dir/pair/shared.log" "$dir/pair"

# The listen address is checked once the ICMP socket is open; without the
# right to open one, that is the complaint instead.
socket_text="cannot open an ICMP socket"
for metrics in 99999 1.2.3:80; do
  out=$(timeout 10 "$watch" --metrics "$metrics" "$dir/good.ini" 2>&1) || true
  if ((EUID == 0)) || [[ "$out" != *"$socket_text"* ]]; then
    expect 2 "--metrics $metrics: Invalid listen address '$metrics'" --metrics "$metrics" "$dir/good.ini"
  else
    echo "watch-cli: no ICMP socket for this user, --metrics $metrics checked up to the socket only"
    expect 2 "$socket_text" --metrics "$metrics" "$dir/good.ini"
  fi
done

# SIGTERM during the start-up, once the watcher has blocked it (SigBlk holds
# bit 15), ends it by the signal at once rather than after reading the rest
# of a large folder. The last file names no host: should the stop be missed,
# the start-up still ends before any echo, with status 2.
mkdir "$dir/many"
for i in $(seq 1 5000); do
  printf '[Addresses]\nCount=1\nAddress01=127.0.0.1#%d\n' "$i" >"$dir/many/h$i.ini"
done
cp "$dir/nohost.ini" "$dir/many/zzz.ini"
blocked() {
  local mask
  mask=$(awk '/^SigBlk:/ { print $2 }' "/proc/$1/status" 2>/dev/null) && [[ -n "$mask" ]] && ((16#$mask & 0x4000))
}
started=$EPOCHREALTIME
"$watch" "$dir/many" 2>"$dir/stop.err" &
pid=$!
for _ in $(seq 1 2000); do
  blocked "$pid" && break
  sleep 0.001
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
elapsed_ms=$(((${EPOCHREALTIME/./} - ${started/./}) / 1000))
if ((status != 143)) || ((elapsed_ms > 3000)) || ! grep -q "stopped by SIGTERM while starting" "$dir/stop.err"; then
  echo "FAIL: SIGTERM while starting: status $status (want 143) after $elapsed_ms ms, output:" >&2
  cat "$dir/stop.err" >&2
  failures=$((failures + 1))
fi

((failures == 0)) || { echo "watch-cli: $failures case(s) failed" >&2; exit 1; }
echo "watch-cli: all cases passed"
