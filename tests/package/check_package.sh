#!/usr/bin/env bash
# check_package.sh <build dir> <consumer source dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

cmake -S "$source" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer" "$work/a.txt"

libdir=$(find "$work/prefix" -name zandrel.pc -printf '%h\n' | head -1)
export PKG_CONFIG_PATH=$libdir
# shellcheck disable=SC2046
g++ -std=c++20 "$source/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs zandrel)
LD_LIBRARY_PATH="$(dirname "$libdir")" "$work/pc-consumer" "$work/b.txt"
