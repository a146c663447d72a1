#!/usr/bin/env bash
# Installs what is missing, builds everything and plays the show.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
show=${ZANDREL_BUILD_DIR:-build}/src/app/zandrel-show
if [ ! -x "$show" ]; then
    echo "The show is not part of this build yet; the framework is built in ${ZANDREL_BUILD_DIR:-build}."
    exit 0
fi
exec "$show"
