#!/usr/bin/env bash
# web.sh [--build-only] [--port N]: builds Zandrel, the examples, the show and
# their pages for the browser into build-web/ (installing what is missing and
# building the C libraries once, cached; see web-deps.sh), then serves
# build-web/site/ on http://127.0.0.1:N/ (8000 by default) until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
port=8000
serve=1
while [ $# -gt 0 ]; do
    case "$1" in
    --build-only) serve=0 ;;
    --port) port=$2; shift ;;
    *) echo "usage: $0 [--build-only] [--port N]" >&2; exit 2 ;;
    esac
    shift
done

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
if [ -z "$show_data" ]; then
    scripts/install-deps.sh --library
    cmake -S . -B "$build/desktop" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZANDREL_BUILD_TESTS=OFF \
        -DZANDREL_BUILD_BENCHMARKS=OFF -DZANDREL_BUILD_EXAMPLES=OFF "${launcher[@]}" >/dev/null
    cmake --build "$build/desktop" --target show-assets
    show_data=$build/desktop/show
fi

emcmake cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZANDREL_WEB_DEPS="$PWD/$build/deps" -DZANDREL_SHOW_DATA="$(realpath "$show_data")" \
    "${launcher[@]}" >/dev/null
cmake --build "$build"
echo "Pages in $build/site/"

[ "$serve" = 1 ] || exit 0
echo "Serving http://127.0.0.1:$port/ (Ctrl+C ends)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$build/site" "$port"
