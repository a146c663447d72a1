#!/usr/bin/env bash
# run-tests.sh <build dir> [ctest options...]: runs the tests of a build
# directory, inside a virtual X server when there is no display.
set -euo pipefail
build=$1
shift
run=(ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)" "$@")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
    "${run[@]}"
fi
