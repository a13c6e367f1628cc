#!/usr/bin/env bash
# Runs the README's first command, `bash scripts/run-app.sh`, as it is: it installs, builds the
# application in its own configuration and starts it, here once without a display in its smoke
# mode (it opens every sheet, prints a marker for each and exits). The application sees a home and
# folders of its own, never the real ones. Fails unless it exits 0 with its markers.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/timing.sh

export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
place=$(mktemp -d)
trap 'rm -rf "$place"; say_times "app-smoke: "' EXIT
mkdir -p "$place"/{home,config,data,state,cache,runtime,support,logs,volumes}
chmod 700 "$place/runtime"

# The limit covers the build as well (with a cold compiler cache on two cores), not only the run.
smoke() {
  env HOME="$place/home" XDG_CONFIG_HOME="$place/config" XDG_DATA_HOME="$place/data" \
    XDG_STATE_HOME="$place/state" XDG_CACHE_HOME="$place/cache" XDG_RUNTIME_DIR="$place/runtime" \
    ORVALINK_APP_SUPPORT_DIR="$place/support" ORVALINK_LOG_DIR="$place/logs" \
    ORVALINK_VOLUMES_DIR="$place/volumes" QT_QPA_PLATFORM=offscreen ORVALINK_UI_SMOKE=1 \
    timeout 1800 bash scripts/run-app.sh | tee "$place/output"
}
timed "application build and smoke run" smoke

# It says "passed" only after it opened every sheet.
for marker in "bootstrap complete" "opened account" "passed"; do
  if ! grep -qxF "[ui-smoke] $marker" "$place/output"; then
    echo "app-smoke: the application never printed \"[ui-smoke] $marker\"" >&2
    exit 1
  fi
done
echo "app-smoke: the application built, started and printed its markers"
