#!/usr/bin/env bash
# check_headers.sh <include dir>
# Each public header compiles on its own, without a warning, under the strict
# warnings a program's own build may turn on, with both compilers.
set -euo pipefail
include=$1
flags=(-std=c++20 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror -fsyntax-only)
status=0
for compiler in g++ clang++; do
    for header in "$include"/zandrel/*.hpp; do
        if ! echo "#include <zandrel/${header##*/}>" |
            "$compiler" "${flags[@]}" -I"$include" -x c++ -; then
            echo "$compiler: ${header##*/} is not warning-free" >&2
            status=1
        fi
    done
done
exit $status
