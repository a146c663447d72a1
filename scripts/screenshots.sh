#!/usr/bin/env bash
# Builds the examples and remakes docs/screenshots/<name>.png for the README:
# each example runs unattended for 60 frames, as its CTest test does, inside
# a virtual X server when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZANDREL_BUILD_DIR:-build}
examples=(hello sprites sound text collide fetch game effects)

targets="run_example"
for name in "${examples[@]}"; do targets+=" example-$name"; done
ZANDREL_BUILD_TARGETS=$targets scripts/build.sh -DZANDREL_BUILD_EXAMPLES=ON -DZANDREL_BUILD_TESTS=ON

mkdir -p docs/screenshots
export ZANDREL_SCREENSHOTS=$PWD/docs/screenshots
run=(ctest --test-dir "$build" --output-on-failure --no-tests=error -R "^Examples\.($(
    IFS='|'
    echo "${examples[*]}"
))\$")
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}"
else
    "${run[@]}"
fi
ls -l docs/screenshots
