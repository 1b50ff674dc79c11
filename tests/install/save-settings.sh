#!/usr/bin/env bash
# Starts PROGRAM (the window) on a virtual X server of its own, presses
# "Save Settings", answers the question with Enter and closes it.
# Usage: save-settings.sh PROGRAM
set -euo pipefail
work=$(mktemp -d)
program=
# The server picks a free display and tells it on the descriptor.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $program $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=:$(<"$work/display")
export DISPLAY
"$1" >"$work/program.log" 2>&1 &
program=$!
window=
for _ in $(seq 300); do
  kill -0 "$program" 2>/dev/null || break
  window=$(xdotool search --name '^Linkvigil$' 2>/dev/null | head -n 1) && [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "no window; the program said:" >&2; cat "$work/program.log" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
# "Save Settings" at (296, 136), 113 x 25, in the window.
xdotool mousemove $((X + 352)) $((Y + 148)) click 1
sleep 1
xdotool key Return
sleep 1
