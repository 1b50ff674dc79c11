#!/usr/bin/env bash
# Checks the example Prometheus files: the scrape configuration and its rule
# file load, and the alerts fire as linkvigil-rules.test.yml expects.
# Exit status 77 (skipped) without promtool; under CI=true that fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
examples=$here/../../packaging/prometheus
if ! command -v promtool >/dev/null; then
  echo "SKIPPED: promtool is missing (Debian package prometheus): the Prometheus examples were not checked" >&2
  [[ ${CI:-} != true ]] || exit 1
  exit 77
fi
promtool check config "$examples/prometheus-scrape.yml"
promtool check rules "$examples/linkvigil-rules.yml"
promtool test rules "$here/linkvigil-rules.test.yml"
