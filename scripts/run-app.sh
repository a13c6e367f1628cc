#!/usr/bin/env bash
# Installs what is needed, builds the application and starts it. Arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALINK_BUILD_TESTS=OFF
cmake --build build/app -j "$(nproc)"
exec build/app/src/app/orvalink "$@"
