#!/usr/bin/env bash
# Fails when a C++ source under src/, tests/ or bench/ deviates from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
  xargs -0 clang-format --dry-run -Werror
echo "check-format: every source follows .clang-format"
