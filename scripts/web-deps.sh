#!/usr/bin/env bash
# web-deps.sh <prefix>: installs the Debian packages the browser build needs
# and builds the C libraries Zandrel uses (SDL2, zlib, libpng, libjpeg-turbo,
# libogg, libvorbis, FreeType, libFLAC, libmpg123) for WebAssembly from
# Debian's own sources.
# Debian's Emscripten ships a frozen cache without them and nothing else may be
# downloaded. Each build is cached in ~/.cache/zandrel-web/<package>-<version>
# (or $ZANDREL_WEB_CACHE), so a second run only merges the cached installs
# into <prefix>; changing a package's options below needs its folder removed.
# The page tests need only Node.js (which Emscripten brings) and Chromium.
set -euo pipefail
prefix=$(realpath -m "$1")
cache=${ZANDREL_WEB_CACHE:-$HOME/.cache/zandrel-web}
jobs=${ZANDREL_WEB_JOBS:-$(nproc)} # web.sh -j N sets it

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)

packages=(emscripten chromium-headless-shell dpkg-dev cmake ninja-build pkg-config)
# shellcheck source=debian-sources.sh
source "$(dirname "$0")/debian-sources.sh"
install_missing "${packages[@]}"

export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export EM_CACHE_QUIET=1

# build_package <source package> [--configure-script | --cmake-folder DIR]
# <options...>: configures the unpacked source with emcmake (from its folder
# DIR when its CMake files are not at the top, or with its own configure script
# under emconfigure), builds it and installs it into its cache folder, unless
# that holds a build of an offered version already.
build_package() {
    local package=$1
    shift
    [ -n "$(cached_install "$package")" ] && return 0
    echo "Building $package for WebAssembly"
    local work version install
    work=$(mktemp -d)
    version=$(fetch_source "$package" "$work") ||
        { echo "cannot fetch the sources of $package" >&2; rm -rf "$work"; return 1; }
    install=$(folder_of "$package" "$version")
    rm -rf "$install"
    if [ "${1:-}" = --configure-script ]; then
        shift
        (cd "$work/src" && emconfigure ./configure --prefix="$install" "$@") \
            >"$work/configure.log" 2>&1 || { give_up "$work" configure.log; return 1; }
        (cd "$work/src" && emmake make -j "$jobs" install) >"$work/build.log" 2>&1 ||
            { give_up "$work" build.log; return 1; }
    else
        local source=$work/src
        if [ "${1:-}" = --cmake-folder ]; then
            source=$work/src/$2
            shift 2
        fi
        emcmake cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_INSTALL_PREFIX="$install" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF \
            -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >"$work/configure.log" 2>&1 ||
            { give_up "$work" configure.log; return 1; }
        cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 ||
            { give_up "$work" build.log; return 1; }
        cmake --install "$work/build" >/dev/null
    fi
    touch "$install/.done"
    rm -rf "$work"
    echo "Built $package $version"
}

[ -n "$(source_versions zlib)" ] || ensure_source_lists

sdl2() { build_package libsdl2 -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF; }
# zlib's CMake makes its static and its shared library under one name where
# there are only static ones; its own configure script does not.
zlib_png_freetype() {
    build_package zlib --configure-script --static || return 1
    freetype &
    local zlib
    zlib=$(cached_install zlib)
    build_package libpng1.6 -DPNG_SHARED=OFF -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$zlib" -DZLIB_INCLUDE_DIR="$zlib/include" \
        -DZLIB_LIBRARY="$zlib/lib/libz.a" || return 1
    wait $!
}
# CMake's type-size checks cannot read what Emscripten links, so the sizes of
# wasm32 are given: type_sizes VARIABLE=size... gives the cache entries.
type_sizes() {
    local entry
    for entry in "$@"; do echo "-DHAVE_${entry%%=*}=TRUE" "-D$entry"; done
}
jpeg() {
    build_package libjpeg-turbo -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        $(type_sizes SIZE_T=4 UNSIGNED_LONG=4)
}
ogg_vorbis() {
    build_package libogg $(type_sizes INT16_SIZE=2 UINT16_SIZE=2 U_INT16_SIZE=2 INT32_SIZE=4 \
        UINT32_SIZE=4 U_INT32_SIZE=4 INT64_SIZE=8 SHORT_SIZE=2 INT_SIZE=4 LONG_SIZE=4 \
        LONG_LONG_SIZE=8) || return 1
    local ogg
    ogg=$(cached_install libogg)
    build_package libvorbis -DOGG_INCLUDE_DIR="$ogg/include" \
        -DOGG_LIBRARY="$ogg/lib/libogg.a"
}
# The decoders only: no programs, no Ogg container for FLAC, no audio output
# or network for mpg123 (its CMake files are in ports/cmake; it picks its
# generic C decoder where no x86 or ARM compiler macro is defined).
flac_mpg123() {
    build_package flac -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF -DWITH_STACK_PROTECTOR=OFF \
        -DWITH_FORTIFY_SOURCE=OFF || return 1
    # Its CMake files call check_type_size without including the module.
    echo 'include(CheckTypeSize)' >"$cache/include-check-type-size.cmake"
    build_package mpg123 --cmake-folder ports/cmake -DBUILD_PROGRAMS=OFF -DBUILD_LIBOUT123=OFF \
        -DNETWORK=OFF -DCMAKE_PROJECT_INCLUDE="$cache/include-check-type-size.cmake" \
        $(type_sizes SIZEOF_LONG=4 SIZEOF_OFF_T=8)
}
# FreeType reads gzip-compressed fonts through the same zlib as libpng: its
# own copy would clash with it at link time.
freetype() {
    local zlib
    zlib=$(cached_install zlib)
    build_package freetype -DFT_REQUIRE_ZLIB=ON -DZLIB_ROOT="$zlib" \
        -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" \
        -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}

mkdir -p "$cache"
run_all sdl2 zlib_png_freetype jpeg ogg_vorbis flac_mpg123
rm -rf "$prefix"
mkdir -p "$prefix"
for package in libsdl2 zlib libpng1.6 libjpeg-turbo libogg libvorbis freetype flac mpg123; do
    merge_package "$package"
done
echo "WebAssembly libraries in $prefix"

