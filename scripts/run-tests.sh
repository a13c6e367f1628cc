#!/usr/bin/env bash
# Installs what is needed, checks the formatting of the sources, builds everything with warnings as
# errors, runs every test, then builds the tests again with the address and undefined-behaviour
# sanitizers and runs them once more. With --release-only it stops after the first run (no
# formatting check either). At the end it says how long each part took, on the clock and in
# processor time.
#
# The test builds are made to build fast on a small machine: the layers are shared libraries (each
# linked once, not copied into every test program) compiled in batches of files, debug information
# is line tables only (enough for the sanitizers' reports and for backtraces), lld links, the Qt and
# standard headers are loaded precompiled, the release build leaves the tests' own code unoptimized
# (what they test, the layers, is), and ccache keeps what was compiled, keyed by paths relative to
# the checkout, so that another run or another checkout of the same sources reuses it. Batches and
# precompiled headers hand a file what it forgot to include: CI also builds the project as a plain
# cmake does, file by file (see .ci/run).
set -euo pipefail
cd "$(dirname "$0")/.."

release_only=false
if [ "${1:-}" = "--release-only" ]; then
  release_only=true
fi

source scripts/timing.sh
trap 'say_times "run-tests: "' EXIT

bash scripts/install-deps.sh
if ! $release_only; then
  timed "format check" bash scripts/check-format.sh
fi

jobs=$(nproc)
# The inode cache spares ccache hashing the same precompiled header (hundreds of megabytes) again for
# every file that loads it.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true CCACHE_INODECACHE=true
# ccache keys its results by the locale too (it changes the compiler's messages): compile under none,
# so that a user whose environment sets another one (or none, like CI's unprivileged user) still
# finds what was compiled.
launcher="env;-u;LANG;-u;LC_ALL;-u;LC_CTYPE;-u;LC_MESSAGES;ccache"
test_build=(-G Ninja -DORVALINK_WERROR=ON -DORVALINK_SHARED_LIBS=ON -DORVALINK_UNITY_LAYERS=ON
  "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher"
  -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)

configure_and_build() { # <build folder> <cmake options>...
  cmake -S . -B "$1" "${test_build[@]}" "${@:2}"
  cmake --build "$1" -j "$jobs"
}
# Most tests spend most of their time waiting (for a child process, a timer, a server on 127.0.0.1),
# so twice as many run at once as there are cores; ORVALINK_TEST_JOBS says otherwise.
test_jobs=${ORVALINK_TEST_JOBS:-$((jobs * 2))}
run_tests() { # <build folder>
  (cd "$1" && ctest --output-on-failure -j "$test_jobs")
}

# ccache stores what was compiled with a precompiled header only when told that the header's
# definitions and time macros are accounted for; the file times would keep it from storing what
# includes a header generated moments before, as every build's moc output is.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
timed "release build" configure_and_build build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DORVALINK_PCH_TESTS=ON -DORVALINK_TESTS_UNOPTIMIZED=ON
timed "release tests" run_tests build/release
if $release_only; then
  exit 0
fi

timed "sanitizer build" configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DORVALINK_SANITIZE=ON -DORVALINK_PCH_LAYERS=ON -DORVALINK_PCH_TESTS=ON -DORVALINK_BUILD_APP=OFF \
  -DORVALINK_BUILD_BENCH=OFF
timed "sanitizer tests" run_tests build/sanitize
