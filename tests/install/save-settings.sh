#!/usr/bin/env bash
# Starts PROGRAM (the window) on a virtual X server of its own, presses
# "Save Settings", answers the question with Enter and closes it.
# Usage: save-settings.sh PROGRAM
set -euo pipefail
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$program" "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$1" >/dev/null 2>&1 &
program=$!
window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^Linkvigil$' 2>/dev/null | head -n 1) && [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "no window" >&2; exit 1; }
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
# "Save Settings" at (296, 136), 113 x 25, in the window.
xdotool mousemove $((X + 352)) $((Y + 148)) click 1
sleep 1
xdotool key Return
sleep 1
