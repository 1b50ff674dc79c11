#!/usr/bin/env bash
# Quick start: installs what is missing, builds, and runs the whole test
# suite through ctest, then the fuzz target for a bounded time.
# Usage: test.sh [--sanitize]   (FUZZ_SECONDS sets the fuzzing time, default 30)
#
# The real-network tests build private network namespaces and need root:
# run as root, or they are run through sudo; without either they are
# reported as SKIPPED (and fail under CI=true).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
build=$("$here/build.sh" "$@")

export QT_QPA_PLATFORM=offscreen
if [[ "${1:-}" == --sanitize ]]; then
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export LSAN_OPTIONS=suppressions=$here/../tests/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

if ((EUID == 0)) || ! command -v sudo >/dev/null; then
  ctest --test-dir "$build" --output-on-failure -j2
else
  ctest --test-dir "$build" --output-on-failure -j2 -LE netns
  echo "The real-network tests need root: running them through sudo." >&2
  sudo --preserve-env=CI,QT_QPA_PLATFORM,ASAN_OPTIONS,LSAN_OPTIONS,UBSAN_OPTIONS \
    ctest --test-dir "$build" --output-on-failure -L netns
fi

if [[ "${1:-}" != --sanitize ]]; then
  "$here/fuzz.sh" "${FUZZ_SECONDS:-30}"
fi
