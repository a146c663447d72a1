#!/usr/bin/env bash
# The suite under the sanitizers, each build in a folder of its own:
#   build-asan  clang, AddressSanitizer + UndefinedBehaviorSanitizer, with the
#               fuzzers, which also run for 30 s each (label fuzz-smoke);
#               every test but the timing-sensitive, package and long ones
#   build-tsan  ThreadSanitizer, the audio and timer tests
# Any sanitizer report ends its program and fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
export CC=clang CXX=clang++
# Light optimisation and line tables only: these builds are for finding
# faults, and compile in much less time.
common=(-DZANDREL_BUILD_BENCHMARKS=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1"
        "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1")

# Mesa's GL libraries are loaded and unloaded with each GL context; kept
# loaded, their process-lifetime allocations stay reachable instead of
# showing as leaks from a module that is gone.
mesa=$(find /usr/lib \( -name swrast_dri.so -o -name libGLX_mesa.so.0 \) -printf '%p:')
suppressions=$PWD/tests/sanitizers/lsan.supp
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$suppressions:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1
ZANDREL_BUILD_DIR=build-asan scripts/build.sh "${common[@]}" \
    -DZANDREL_SANITIZE=address,undefined -DZANDREL_BUILD_FUZZERS=ON
LD_PRELOAD=${mesa%:} scripts/run-tests.sh build-asan -LE 'timing|package|long|soak'

export TSAN_OPTIONS=second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp
ZANDREL_BUILD_DIR=build-tsan ZANDREL_BUILD_TARGETS="test_audio test_system" \
    scripts/build.sh "${common[@]}" -DZANDREL_SANITIZE=thread
scripts/run-tests.sh build-tsan -L audio
scripts/run-tests.sh build-tsan -R '^Timer'
