#!/usr/bin/env bash
# web.sh [--build-only] [--install PREFIX] [--port N] [-j N] [--no-show]:
# builds Zandrel, the examples, the show and their pages for the browser into
# build-web/ (installing what is missing and building the C libraries once,
# cached; see web-deps.sh), then serves build-web/site/ on
# http://127.0.0.1:N/ (8000 by default) until interrupted. --install PREFIX
# installs the browser build's package there instead of serving: the library,
# its headers, the C libraries, the page's files and a CMake package for
# find_package(Zandrel) and zandrel_add_page under `emcmake cmake`. -j N runs
# N compile jobs at once (every core by default); --no-show leaves the show
# out, and with it the desktop build of the asset generator that makes its
# data.
set -euo pipefail
cd "$(dirname "$0")/.."
port=8000
serve=1
jobs=$(nproc)
show=ON
install=""
usage="usage: $0 [--build-only] [--install PREFIX] [--port N] [-j N] [--no-show]"
while [ $# -gt 0 ]; do
    case "$1" in
    --build-only) serve=0 ;;
    --install)
        [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
        install=$2; serve=0; shift ;;
    --port) port=$2; shift ;;
    -j) jobs=$2; shift ;;
    -j*) jobs=${1#-j} ;;
    --no-show) show=OFF ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then echo "$usage" >&2; exit 2; fi
export ZANDREL_WEB_JOBS=$jobs

build=build-web
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
scripts/web-deps.sh "$build/deps"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The show's music and pictures are made by the asset generator, a desktop
# program: they come from $ZANDREL_SHOW_DATA (a desktop build's show/ folder)
# or from a desktop build of the generator alone in $build/desktop.
show_data=${ZANDREL_SHOW_DATA:-}
show_options=(-DZANDREL_BUILD_SHOW=OFF)
if [ "$show" = ON ] && [ -z "$show_data" ]; then
    scripts/install-deps.sh --library
    cmake -S . -B "$build/desktop" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANDREL_BUILD_TESTS=OFF \
        -DZANDREL_BUILD_BENCHMARKS=OFF -DZANDREL_BUILD_EXAMPLES=OFF "${launcher[@]}" >/dev/null
    cmake --build "$build/desktop" -j "$jobs" --target show-assets
    show_data=$build/desktop/show
fi
if [ "$show" = ON ]; then
    show_options=(-DZANDREL_BUILD_SHOW=ON -DZANDREL_SHOW_DATA="$(realpath "$show_data")")
fi

emcmake cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZANDREL_WEB_DEPS="$PWD/$build/deps" "${show_options[@]}" "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
echo "Pages in $build/site/"
if [ -n "$install" ]; then
    cmake --install "$build" --prefix "$install" >/dev/null
    echo "Installed the browser build's package in $install"
fi

[ "$serve" = 1 ] || exit 0
echo "Serving http://127.0.0.1:$port/ (Ctrl+C ends)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$build/site" "$port"
