#!/usr/bin/env bash
# Installs what is needed, checks the formatting of the sources, builds everything with warnings as
# errors, runs every test, then builds the tests again with the address and undefined-behaviour
# sanitizers and runs them once more. With --release-only it stops after the first run (no
# formatting check either): what CI repeats from other places and as another user.
set -euo pipefail
cd "$(dirname "$0")/.."

release_only=false
if [ "${1:-}" = "--release-only" ]; then
  release_only=true
fi

bash scripts/install-deps.sh
if ! $release_only; then
  bash scripts/check-format.sh
fi

jobs=$(nproc)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALINK_WERROR=ON
cmake --build build/release -j "$jobs"
(cd build/release && ctest --output-on-failure -j "$jobs")
if $release_only; then
  exit 0
fi

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVALINK_WERROR=ON -DORVALINK_SANITIZE=ON \
  -DORVALINK_BUILD_APP=OFF -DORVALINK_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && ctest --output-on-failure -j "$jobs")
