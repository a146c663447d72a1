#!/usr/bin/env bash
# web.sh [--build-only] [--port N]: builds Zandrel, the examples and their
# pages for the browser into build-web/ (installing what is missing and
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
emcmake cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DZANDREL_WEB_DEPS="$PWD/$build/deps" "${launcher[@]}" >/dev/null
cmake --build "$build"
echo "Pages in $build/site/"

[ "$serve" = 1 ] || exit 0
echo "Serving http://127.0.0.1:$port/ (Ctrl+C ends)"
exec python3 -m http.server --bind 127.0.0.1 --directory "$build/site" "$port"
