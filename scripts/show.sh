#!/usr/bin/env bash
# Installs what is missing, builds everything and plays the show.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build=${ZANDREL_BUILD_DIR:-build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: render the show offline with scripts/capture.sh (frames, music.wav and show.mp4 in ./capture)."
    exit 0
fi
exec "$build/show/zandrel-show"
