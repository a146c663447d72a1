#!/usr/bin/env bash
# run-tests.sh <build dir> [ctest options...]: runs the tests of a build
# directory, inside a virtual X server when there is no display.
set -euo pipefail
build=$1
shift
run=(ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)" "$@")
if [ -z "${DISPLAY:-}" ]; then
    # The display tests start X servers of their own (tests/common/own_display.cpp);
    # this one serves the rest. Without -noreset it resets whenever its last
    # client leaves, and a program that connects just then finds no display.
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "${run[@]}"
else
    "${run[@]}"
fi
