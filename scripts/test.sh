#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal
# build, then the sanitizer builds (scripts/test-sanitized.sh). Display tests
# get a virtual X server when there is no display.
#   --quick   only the normal build and its tests
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
scripts/run-tests.sh "${ZANDREL_BUILD_DIR:-build}"
if [ "${1:-}" != "--quick" ]; then
    scripts/test-sanitized.sh
fi
