#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Display
# tests get a virtual X server when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build=${ZANDREL_BUILD_DIR:-build}
run=(ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
    "${run[@]}"
fi
