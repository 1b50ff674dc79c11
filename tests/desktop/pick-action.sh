#!/bin/sh
# dunst's "dmenu" for the desktop tests: keeps the menu's lines in
# $LINKVIGIL_DMENU_LOG and chooses the one for "Show outages".
tee "${LINKVIGIL_DMENU_LOG:-/dev/null}" | grep -m1 'Show outages'
