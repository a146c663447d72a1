#!/usr/bin/env bash
# windows.sh [--build-only] [--test] [--run NAME [ARGS...]] [-j N]: builds Zandrel,
# the examples, the show and the tests for 64-bit Windows with MinGW-w64 into
# build-windows/ (installing what is missing and building the C libraries
# once, cached; see windows-deps.sh) and packs
# build-windows/zandrel-windows-x86_64.zip: the show, the examples and
# zandrel-capture with their data files and every DLL they need, in one
# folder, to unzip and run on a Windows PC. --run NAME runs the program NAME
# (zandrel-show, hello, ...) from the packed folder under Wine on the current
# display, with ARGS; --build-only stops after the zip. --test builds the
# tests too and runs them under Wine with CTest on a virtual X display, with
# SDL's dummy audio driver (the module tests that run there so far). -j N
# runs N compile jobs, and N tests, at once (every core by default).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
run=()
tests=0
usage="usage: $0 [--build-only] [--test] [--run NAME [ARGS...]] [-j N]"
while [ $# -gt 0 ]; do
    case "$1" in
    --build-only) run=() ;;
    --test) tests=1 ;;
    --run)
        [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
        shift
        run=("$@")
        break ;;
    -j) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; jobs=$2; shift ;;
    -j*) jobs=${1#-j} ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then echo "$usage" >&2; exit 2; fi
export ZANDREL_WINDOWS_JOBS=$jobs

build="build-windows"
scripts/windows-deps.sh "$build/deps"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DZANDREL_WINDOWS_DEPS="$PWD/$build/deps" -DZANDREL_BUILD_BENCHMARKS=OFF \
    "${launcher[@]}" >/dev/null
# What the zip holds; the tests are built by their own targets.
programs=(zandrel-show zandrel-capture)
for example in examples/*/; do
    [ -f "$example/$(basename "$example").cpp" ] && programs+=("example-$(basename "$example")")
done
cmake --build "$build" -j "$jobs" --target "${programs[@]}"

# The DLLs a program or DLL loads that are not the system's: those of the
# build, the C libraries and the MinGW run time, found by their import tables.
folders=("$build" "$build/deps/bin"
    "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
    /usr/x86_64-w64-mingw32/lib)
imports() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print $3}'
}
find_dll() {
    local folder
    for folder in "${folders[@]}"; do
        [ -f "$folder/$1" ] && { echo "$folder/$1"; return; }
    done
    return 0 # one of the system's
}
# add_with_dlls <file> <folder>: copies the file and, once each, the DLLs it needs.
add_with_dlls() {
    cp "$1" "$2/"
    local name dll
    for name in $(imports "$1"); do
        [ -f "$2/$name" ] && continue
        dll=$(find_dll "$name")
        if [ -n "$dll" ]; then add_with_dlls "$dll" "$2"; fi
    done
}

name=zandrel-windows-x86_64
stage=$build/package/$name
rm -rf "$build/package" "$build/$name.zip"
mkdir -p "$stage"
add_with_dlls "$build/show/zandrel-show.exe" "$stage"
add_with_dlls "$build/show/zandrel-capture.exe" "$stage"
find "$build/show" -maxdepth 1 -type f \( -name '*.ogg' -o -name '*.png' -o -name '*.jpg' \) \
    -exec cp {} "$stage/" \;
for example in "$build"/examples/*/; do
    for file in "$example"*; do
        if [ ! -f "$file" ]; then continue; fi
        case "$file" in *.exe) add_with_dlls "$file" "$stage" ;; *) cp "$file" "$stage/" ;; esac
    done
done
# Debugging symbols stay in the build folder's copies.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll
(cd "$build/package" && zip -qr "../$name.zip" "$name")
echo "Packed $build/$name.zip"

# One wineserver for the whole run, warmed by one trivial program (the first
# test would otherwise wait on its start), ended at the end so that nothing
# holds the log open.
run_tests() {
    cmake --build "$build" -j "$jobs"
    export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/zandrel-windows/wine}
    scripts/wine.sh cmd /c exit # makes the prefix the first time
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wineserver -p
    trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
    scripts/wine.sh cmd /c exit
    SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1024x768x24" \
        ctest --test-dir "$build" -j "$jobs" --timeout 300 --output-on-failure
}
if [ "$tests" = 1 ]; then run_tests; fi

[ ${#run[@]} -gt 0 ] || exit 0
program=${run[0]%.exe}.exe
[ -f "$stage/$program" ] || { echo "no program $program in $stage" >&2; exit 2; }
cd "$stage"
exec ../../../scripts/wine.sh "$program" "${run[@]:1}"
