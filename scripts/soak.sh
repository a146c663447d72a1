#!/usr/bin/env bash
# Runs the soak rounds N times each (default 10) for a long run and prints
# every round's resident memory and open descriptors. Builds test_soak in
# ./build (or $ZANDREL_BUILD_DIR) first.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
build=${ZANDREL_BUILD_DIR:-build}
ZANDREL_BUILD_TARGETS=test_soak scripts/build.sh >/dev/null
export SDL_AUDIODRIVER=dummy
ZANDREL_SOAK_ROUNDS=$rounds xvfb-run -a -s "-screen 0 1024x768x24" \
    "$build/tests/soak/test_soak" | grep -E '^soak |^\[ *(OK|FAILED|PASSED) '
