#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal
# build with the browser build's pages (scripts/web.sh --build-only, which
# installs Emscripten and Chromium and builds the C libraries for WebAssembly
# once) tested in headless Chromium beside it, then the sanitizer builds
# (scripts/test-sanitized.sh). Display tests get a virtual X server when there
# is no display.
#   --quick   only the normal build, the pages and their tests
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${ZANDREL_BUILD_DIR:-build}
scripts/build.sh
# The show's page takes the music and pictures this build made.
ZANDREL_SHOW_DATA="$(realpath "$build")/show" scripts/web.sh --build-only
# The page tests need the node and Chromium that web.sh installs.
scripts/build.sh -DZANDREL_WEB_TESTS=ON
scripts/run-tests.sh "$build"
if [ "${1:-}" != "--quick" ]; then
    scripts/test-sanitized.sh
fi
