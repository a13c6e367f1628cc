#!/usr/bin/env bash
# Installs what is needed, checks the formatting of the sources, builds everything with warnings as
# errors, runs every test, then builds the tests again with the address and undefined-behaviour
# sanitizers and runs them once more. With --release-only it stops after the first run (no
# formatting check either): what CI repeats from other places and as another user. At the end it
# says how long each part took.
#
# The test builds are made to build fast on a small machine: the layers are shared libraries (each
# linked once, not copied into every test program) compiled in batches of files, debug information
# is line tables only (enough for the sanitizers' reports and for backtraces), lld links, the Qt and
# standard headers are loaded precompiled (see below), the release build leaves the tests' own code
# unoptimized (what they test, the layers, is), and ccache keeps what was compiled, keyed by paths
# relative to the checkout, so that another checkout of the same sources (as CI builds) or another
# run reuses it.
set -euo pipefail
cd "$(dirname "$0")/.."

release_only=false
if [ "${1:-}" = "--release-only" ]; then
  release_only=true
fi

times=()
timed() { # <part> <command>...: runs the command and notes how long it took
  local start=$SECONDS
  "${@:2}"
  local took=$((SECONDS - start))
  times+=("$(printf 'took %3d:%02d  %s' $((took / 60)) $((took % 60)) "$1")")
}
say_times() {
  if [ "${#times[@]}" -gt 0 ]; then
    printf 'run-tests: %s\n' "${times[@]}"
  fi
}
trap say_times EXIT

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

# The test programs load the Qt and standard headers precompiled, and in the sanitizer build the
# layers too.
#
# A precompiled header differs from build to build, and the compiler cache knows what was compiled
# with one by the header's bytes: a build that is to find what another compiled (CI's copies) takes
# that build's header in place of its own. ORVALINK_KEEP_TEST_PCH names where the release build
# leaves a copy of its header, ORVALINK_REUSE_TEST_PCH the header to take.
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
test_pch=build/release/CMakeFiles/orvalink_test_pch.dir/cmake_pch.hxx.gch
release_build() {
  cmake -S . -B build/release "${test_build[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DORVALINK_PCH_TESTS=ON -DORVALINK_TESTS_UNOPTIMIZED=ON
  if [ -n "${ORVALINK_REUSE_TEST_PCH:-}" ]; then
    # Built first, so that ninja knows it; replaced keeping its time, so that ninja keeps it.
    cmake --build build/release --target orvalink_test_pch
    local built
    built=$(stat -c %y "$test_pch")
    cp "$ORVALINK_REUSE_TEST_PCH" "$test_pch"
    touch -d "$built" "$test_pch"
  fi
  cmake --build build/release -j "$jobs"
  if [ -n "${ORVALINK_KEEP_TEST_PCH:-}" ]; then
    cp "$test_pch" "$ORVALINK_KEEP_TEST_PCH"
    chmod 644 "$ORVALINK_KEEP_TEST_PCH"
  fi
}

timed "release build" release_build
timed "release tests" run_tests build/release
if $release_only; then
  exit 0
fi

timed "sanitizer build" configure_and_build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DORVALINK_SANITIZE=ON -DORVALINK_PCH_LAYERS=ON -DORVALINK_PCH_TESTS=ON -DORVALINK_BUILD_APP=OFF \
  -DORVALINK_BUILD_BENCH=OFF
timed "sanitizer tests" run_tests build/sanitize
