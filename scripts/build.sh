#!/usr/bin/env bash
# Configures and builds Zandrel into ./build (or $ZANDREL_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZANDREL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build"
