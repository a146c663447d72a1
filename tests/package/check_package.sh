#!/usr/bin/env bash
# check_package.sh <build dir> <source dir>
# Installs into a temporary prefix and builds programs outside the tree
# against it: the consumer through find_package and through pkg-config, and
# the hello example through pkg-config. The installed headers are those of the
# framework's modules (one per folder of src/) and zandrel.hpp, and each
# compiles on its own.
set -euo pipefail
build=$1
root=$2
source=$root/tests/package/consumer
example=$root/examples/hello/hello.cpp
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null

headers=$(cd "$work/prefix/include/zandrel" && ls | sort | tr '\n' ' ')
for header in $headers; do
    module=${header%.hpp}
    if [ "$module" != zandrel ] && [ ! -d "$root/src/$module" ]; then
        echo "installed header $header belongs to no framework module" >&2
        exit 1
    fi
done
for header in $headers; do
    echo "#include <zandrel/$header>" |
        g++ -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$work/prefix/include" -x c++ -
done

cmake -S "$source" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/cmake-build/consumer" "$work/a.txt"

libdir=$(find "$work/prefix" -name zandrel.pc -printf '%h\n' | head -1)
export PKG_CONFIG_PATH=$libdir
# shellcheck disable=SC2046
g++ -std=c++20 "$source/main.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs zandrel)
LD_LIBRARY_PATH="$(dirname "$libdir")" "$work/pc-consumer" "$work/b.txt"
# With the library's folder recorded in the program (as the README shows), it
# runs without LD_LIBRARY_PATH.
# shellcheck disable=SC2046
g++ -std=c++20 "$source/main.cpp" -o "$work/pc-rpath" $(pkg-config --cflags --libs zandrel) \
    -Wl,-rpath,"$(pkg-config --variable=libdir zandrel)"
env -u LD_LIBRARY_PATH "$work/pc-rpath" "$work/c.txt"
# shellcheck disable=SC2046
g++ -std=c++20 -Wall -Wextra -Werror "$example" -o "$work/example" $(pkg-config --cflags --libs zandrel)
