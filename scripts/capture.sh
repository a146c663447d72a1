#!/usr/bin/env bash
# Builds everything and renders the show offline, on a virtual clock and a
# private virtual X server: frames, music.wav, scenes.csv and, when ffmpeg is
# installed, show.mp4 in ./capture. Options go to zandrel-capture (--help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
exec "${ZANDREL_BUILD_DIR:-build}/show/zandrel-capture" "$@"
