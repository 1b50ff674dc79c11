#!/usr/bin/env bash
# Checks that every C++ source of the project is formatted with the
# project's .clang-format; lists the files that are not.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -- '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
echo "clang-format: every source file is formatted"
