#!/usr/bin/env bash
# Builds the project as a plain cmake does, every option as it comes (static layers compiled file
# by file, no precompiled headers, tests and benchmarks on), and runs its tests. It is the one build
# of CI that compiles each file by itself with nothing handed to it, so a file of src/ or tests/
# that misses an include fails here. The build type is Release, as the application's
# (scripts/run-app.sh), so that the application's build then finds the layers in the compiler cache;
# the generator and the compiler launcher come from the environment (CMAKE_GENERATOR,
# CMAKE_CXX_COMPILER_LAUNCHER).
#
#   bash .ci/plain-build.sh [build|tests]   (both, one after the other, without an argument)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/timing.sh
trap 'say_times "plain-build: "' EXIT

# Paths relative to the checkout, so that another checkout finds what this one compiled.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
jobs=$(nproc)

build() {
  cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=Release
  cmake --build build/plain -j "$jobs"
}
run_tests() {
  ctest --test-dir build/plain --output-on-failure -j "${ORVALINK_TEST_JOBS:-$((jobs * 2))}"
}
if [ "${1:-build}" = build ]; then
  timed "plain build" build
fi
if [ "${1:-tests}" = tests ]; then
  timed "plain tests" run_tests
fi
