#!/usr/bin/env bash
# page_package_test.sh <browser build> <source root> <node> <reference PNG>
# Installs the browser build's package into a temporary prefix, builds the
# hello example outside the tree as a page with find_package(Zandrel) and
# zandrel_add_page alone (no NODE_PATH, nothing from a script) and runs the
# page in Chromium: its 60th frame shows what the native hello's does.
set -euo pipefail
web_build=$1
root=$2
node=$3
reference=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$web_build" --prefix "$work/prefix" >/dev/null
mkdir "$work/hello"
cp "$root"/examples/hello/{hello.cpp,hello.png,hello.wav} "$work/hello/"
cat >"$work/hello/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.22)
project(Hello CXX)
find_package(Zandrel REQUIRED)
add_executable(hello hello.cpp)
zandrel_add_page(hello TITLE "hello from outside" ASSETS hello.png hello.wav)
PROJECT
env -u NODE_PATH emcmake cmake -S "$work/hello" -B "$work/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$work/prefix" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; exit 1; }
env -u NODE_PATH cmake --build "$work/build"
for file in index.html zandrel-page.js zandrel.css hello/index.html hello/hello.wasm; do
    [ -f "$work/build/site/$file" ] || { echo "the site has no $file" >&2; exit 1; }
done
grep -q 'hello from outside' "$work/build/site/index.html"
"$node" "$root/tests/web/page_test.cjs" --site "$work/build/site" --page hello --frames 60 \
    --reference "$reference"
