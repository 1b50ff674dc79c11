#!/usr/bin/env bash
# Runs a command on a throw-away desktop: a virtual X server (Xvfb) on a free
# display, a private session bus and, when asked, Debian's dunst as the
# notification service and trayer as the system tray.
#
# Usage: desktop-run.sh [--dunst] [--tray] [--no-bus] [--quiet] -- COMMAND [ARGS...]
#
#   --dunst   dunst serves org.freedesktop.Notifications on the bus; its
#             context menu picks "Show outages" (its dmenu is
#             pick-action.sh, which logs the lines offered to it in
#             $LINKVIGIL_DMENU_LOG).
#   --tray    trayer holds the system tray (XEmbed).
#   --no-bus  no session bus at all: DBUS_SESSION_BUS_ADDRESS names a
#             socket that does not exist. (Unset, it would let libdbus
#             start a bus of its own on the X display through dbus-launch,
#             where dbus-x11 is installed, and that bus would start dunst.)
#   --quiet   COMMAND must write nothing to stderr.
#
# The bus has no services to start on demand: without --dunst nobody serves
# the notifications. COMMAND runs with DISPLAY, QT_QPA_PLATFORM=xcb and a
# private XDG_RUNTIME_DIR; its exit status becomes ours. Everything started
# here is stopped on exit, also on failure or interruption, and so is every
# process that inherited this run's environment and left its process tree
# (a daemon started on demand). A program that is missing skips the test
# (77), or fails it when CI=true, since there the tests must run.
set -euo pipefail

here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")

usage() {
  echo "usage: $0 [--dunst] [--tray] [--no-bus] [--quiet] -- COMMAND [ARGS...]" >&2
  exit 2
}

skip() {
  echo "SKIPPED: the desktop tests need $* (scripts/setup.sh installs it)" >&2
  [[ "${CI:-}" == true ]] && exit 1
  exit 77
}

need() {
  local program
  for program; do command -v "$program" >/dev/null || skip "'$program'"; done
}

dunst=0 tray=0 bus=1 quiet=0 inner=0
while (($#)); do
  case "$1" in
    --dunst) dunst=1; shift ;;
    --tray) tray=1; shift ;;
    --no-bus) bus=0; shift ;;
    --quiet) quiet=1; shift ;;
    --inner) inner=1; shift ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
(($#)) || usage

pids=()
# shellcheck disable=SC2317 # runs from the EXIT trap
stop_all() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}

# Waits up to 10 s for a condition, a command line run through eval.
wait_for() {
  local what=$1 condition=$2 i
  for ((i = 0; i < 100; ++i)); do
    eval "$condition" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "desktop-run: $what did not come up" >&2
  exit 1
}

# The second half, inside the private bus: the services, then COMMAND.
if ((inner)); then
  trap stop_all EXIT
  if ((dunst)); then
    # Shown until closed, each with its urgency in front of the text (the
    # history keeps the text, not the urgency), and a context menu whose
    # "dmenu" picks the "Show outages" action.
    cat >"$LINKVIGIL_DESKTOP_DIR/dunstrc" <<RC
[global]
    monitor = 0
    follow = none
    width = 360
    height = 120
    origin = top-right
    offset = 10x40
    font = Liberation Sans 10
    history_length = 20
    dmenu = $here/pick-action.sh
[urgency_low]
    timeout = 0
    format = "[LOW] <b>%s</b>\\n%b"
[urgency_normal]
    timeout = 0
    format = "[NORMAL] <b>%s</b>\\n%b"
[urgency_critical]
    timeout = 0
    format = "[CRITICAL] <b>%s</b>\\n%b"
RC
    dunst -config "$LINKVIGIL_DESKTOP_DIR/dunstrc" >"$LINKVIGIL_DESKTOP_DIR/dunst.log" 2>&1 &
    pids+=($!)
    wait_for dunst "dunstctl is-paused"
  fi
  if ((tray)); then
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
      --transparent false >"$LINKVIGIL_DESKTOP_DIR/trayer.log" 2>&1 &
    pids+=($!)
    wait_for trayer "xwininfo -root -tree | grep -q '\"panel\"'"
  fi
  status=0
  if ((quiet)); then
    "$@" 2>"$LINKVIGIL_DESKTOP_DIR/stderr" || status=$?
    if [[ -s "$LINKVIGIL_DESKTOP_DIR/stderr" ]]; then
      echo "desktop-run: the command wrote to stderr:" >&2
      cat "$LINKVIGIL_DESKTOP_DIR/stderr" >&2
      ((status)) || status=1
    fi
  else
    "$@" || status=$?
  fi
  exit "$status"
fi

need Xvfb xwininfo
((bus)) && need dbus-run-session
((dunst)) && need dunst dunstctl
((tray)) && need trayer

LINKVIGIL_DESKTOP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/linkvigil-desktop.XXXXXX")
export LINKVIGIL_DESKTOP_DIR
export LINKVIGIL_DMENU_LOG=$LINKVIGIL_DESKTOP_DIR/dmenu.log
# The other processes whose environment holds this run's
# LINKVIGIL_DESKTOP_DIR, into `strays`: everything the run started, also
# what was detached from it. Read with builtins only, so that no helper
# process of the search finds itself.
# shellcheck disable=SC2317 # runs from the EXIT trap
find_strays() {
  local proc entry
  strays=()
  for proc in /proc/[0-9]*; do
    [[ ${proc#/proc/} == "$$" ]] && continue
    while IFS= read -r -d '' entry; do
      if [[ "$entry" == "LINKVIGIL_DESKTOP_DIR=$LINKVIGIL_DESKTOP_DIR" ]]; then
        strays+=("${proc#/proc/}")
        break
      fi
    done 2>/dev/null <"$proc/environ" || true # gone, or not ours to read
  done
}

# shellcheck disable=SC2317 # runs from the EXIT trap
stop_strays() {
  local i
  find_strays
  ((${#strays[@]})) || return 0
  kill "${strays[@]}" 2>/dev/null || true
  for ((i = 0; i < 30; ++i)); do
    find_strays
    ((${#strays[@]})) || return 0
    sleep 0.1
  done
  kill -KILL "${strays[@]}" 2>/dev/null || true
}

# shellcheck disable=SC2317 # runs from the EXIT trap
cleanup() {
  stop_all
  stop_strays
  rm -rf "$LINKVIGIL_DESKTOP_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# libdbus keeps a buffer for good when it cannot reach a session bus: not
# ours to free, so a sanitizer build is told, besides its own suppressions.
if [[ -n "${LSAN_OPTIONS:-}" ]]; then
  suppressions=$LINKVIGIL_DESKTOP_DIR/lsan.supp
  echo 'leak:libdbus-1.so' >"$suppressions"
  if [[ "$LSAN_OPTIONS" =~ suppressions=([^:]*) ]]; then
    cat "${BASH_REMATCH[1]}" >>"$suppressions" 2>/dev/null || true
  fi
  export LSAN_OPTIONS="$LSAN_OPTIONS:suppressions=$suppressions"
fi

# Xvfb picks a free display itself and writes its number to the pipe.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$LINKVIGIL_DESKTOP_DIR/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 -u "$display_fd" display || {
  cat "$LINKVIGIL_DESKTOP_DIR/xvfb.log" >&2
  echo "desktop-run: Xvfb did not start" >&2
  exit 1
}
exec {display_fd}<&-
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$LINKVIGIL_DESKTOP_DIR/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Nothing of the desktop this runs on: no other bus, no tray of its own.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
((bus)) || export DBUS_SESSION_BUS_ADDRESS=unix:path=$LINKVIGIL_DESKTOP_DIR/no-bus

inner_args=(--inner)
((dunst)) && inner_args+=(--dunst)
((tray)) && inner_args+=(--tray)
((quiet)) && inner_args+=(--quiet)
status=0
if ((bus)); then
  dbus-run-session --config-file="$here/session-bus.conf" -- "$0" "${inner_args[@]}" -- "$@" || status=$?
else
  "$0" "${inner_args[@]}" -- "$@" || status=$?
fi
exit "$status"
