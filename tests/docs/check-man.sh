#!/usr/bin/env bash
# The manual pages: each formats without a warning, and each option its
# program's --help prints is in its page.
#
# Usage: check-man.sh MAN-FOLDER PROGRAM...   (page NAME.1 for each program NAME)
set -euo pipefail
pages=$1
shift
command -v man >/dev/null || { echo "FAIL: man (man-db) is not installed: scripts/setup.sh installs it" >&2; exit 1; }
failures=0
for program in "$@"; do
  name=$(basename "$program")
  page=$pages/$name.1
  [[ -f "$page" ]] || { echo "FAIL: no page $page" >&2; failures=$((failures + 1)); continue; }
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null || true)
  [[ -z "$warnings" ]] || { echo "FAIL: $page: $warnings" >&2; failures=$((failures + 1)); }
  text=$(MANWIDTH=200 man -l "$page" 2>/dev/null | col -b)
  options=$(QT_QPA_PLATFORM=offscreen "$program" --help 2>/dev/null | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)
  [[ -n "$options" ]] || { echo "FAIL: $name --help names no option" >&2; failures=$((failures + 1)); }
  for option in $options; do
    grep -qF -- "$option" <<<"$text" || { echo "FAIL: $page lacks $option" >&2; failures=$((failures + 1)); }
  done
  echo "$name: $(wc -w <<<"$options") options, all in $page"
done
((failures == 0))
