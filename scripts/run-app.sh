#!/usr/bin/env bash
# Installs what is needed, builds the application and opens its window. Arguments go to the application.
set -euo pipefail
cd "$(dirname "$0")/.."

# Without a display Qt would stop with a platform-plugin error; say what to do instead.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run-app: no display found (DISPLAY and WAYLAND_DISPLAY are unset); run it under a virtual one: xvfb-run -a bash scripts/run-app.sh" >&2
  exit 2
fi

bash scripts/install-deps.sh

# Optimized, without debug information: the program a user runs and installs (5 MB, not 140),
# and the layers as a plain Release build compiles them, which CI's compiler cache then holds.
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVALINK_BUILD_TESTS=OFF
cmake --build build/app -j "$(nproc)"
exec build/app/src/app/orvalink "$@"
