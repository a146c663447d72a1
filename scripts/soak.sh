#!/usr/bin/env bash
# Runs the soak rounds N times each (default 10), or for M minutes in all
# (each kind of work an even share, two rounds at least), for a long run, and
# prints every round's resident memory, open descriptors and time. Builds
# test_soak in ./build (or $ZANDREL_BUILD_DIR) first.
#   scripts/soak.sh [N | --minutes M]
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ ${1:-} == --minutes ]]; then
    [[ ${2:-} =~ ^[0-9]+([.][0-9]+)?$ ]] || { echo "usage: $0 [N | --minutes M]" >&2; exit 2; }
    export ZANDREL_SOAK_MINUTES=$2
else
    [[ ${1:-10} =~ ^[0-9]+$ ]] || { echo "usage: $0 [N | --minutes M]" >&2; exit 2; }
    export ZANDREL_SOAK_ROUNDS=${1:-10}
fi
build=${ZANDREL_BUILD_DIR:-build}
ZANDREL_BUILD_TARGETS=test_soak scripts/build.sh >/dev/null
export SDL_AUDIODRIVER=dummy
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/soak/test_soak" |
    grep -E '^soak |^\[ *(OK|FAILED|PASSED) '
