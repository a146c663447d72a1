#!/usr/bin/env bash
# Configures and builds Zandrel into ./build (or $ZANDREL_BUILD_DIR); extra
# arguments go to CMake's configure step. $ZANDREL_BUILD_TARGETS limits the
# build to those targets. ccache is used when installed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${ZANDREL_BUILD_DIR:-build}
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
targets=()
for target in ${ZANDREL_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" "${targets[@]}"
