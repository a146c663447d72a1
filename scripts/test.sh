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
# Every label the README promises must have run a test: each module's and
# those of the kinds of test (the fuzzers' only in the sanitizer build).
ZANDREL_LABELS_RAN=$(mktemp)
export ZANDREL_LABELS_RAN
trap 'rm -f "$ZANDREL_LABELS_RAN"' EXIT
promised=(display gles audio timing long soak examples docs package layering web)
for folder in tests/*/CMakeLists.txt; do
    module=$(basename "$(dirname "$folder")")
    if [ "$module" != fuzz ]; then promised+=("$module"); fi
done
scripts/run-tests.sh "$build"
if [ "${1:-}" != "--quick" ]; then
    scripts/test-sanitized.sh
    promised+=(fuzz fuzz-smoke)
fi
for label in "${promised[@]}"; do
    if ! grep -qx -- "$label" "$ZANDREL_LABELS_RAN"; then
        echo "test.sh: no test with label $label ran" >&2
        exit 1
    fi
done
