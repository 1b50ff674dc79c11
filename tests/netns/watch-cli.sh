#!/usr/bin/env bash
# The watcher's command line: each bad argument or settings file ends it with
# exit status 2 and a message naming the culprit, before any echo is sent.
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

((failures == 0)) || { echo "watch-cli: $failures case(s) failed" >&2; exit 1; }
echo "watch-cli: all cases passed"
