#!/usr/bin/env bash
# windows-deps.sh <prefix>: installs the Debian packages the Windows build
# needs (MinGW-w64, Wine) and builds the C libraries Zandrel uses (SDL2,
# libpng, libjpeg-turbo, libogg, libvorbis, FreeType, libFLAC, libmpg123) as
# DLLs for 64-bit Windows from Debian's own sources, and GoogleTest for the
# tests; zlib is Debian's libz-mingw-w64-dev. Each build is cached in
# ~/.cache/zandrel-windows/<package>-<version> (or $ZANDREL_WINDOWS_CACHE), so
# a second run only merges the cached installs into <prefix>; changing a
# package's options below needs its folder removed.
set -euo pipefail
prefix=$(realpath -m "$1")
cache=${ZANDREL_WINDOWS_CACHE:-$HOME/.cache/zandrel-windows}
jobs=${ZANDREL_WINDOWS_JOBS:-$(nproc)} # windows.sh -j N sets it
toolchain=$(realpath "$(dirname "$0")/../cmake/mingw-w64-x86_64.cmake")

# shellcheck disable=SC2034 # used by debian-sources.sh
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
# shellcheck source=debian-sources.sh
source "$(dirname "$0")/debian-sources.sh"
install_missing g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools \
    libz-mingw-w64-dev wine64 nasm dpkg-dev cmake ninja-build pkg-config zip googletest

# build_in <work folder> <source> <install> <options...>: configures the
# source for Windows with the MinGW toolchain, builds it and installs it.
# The packages it needs are found in <prefix>, where they were merged first.
build_in() {
    local work=$1 source=$2 install=$3
    shift 3
    cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DZANDREL_WINDOWS_DEPS="$prefix" \
        -DCMAKE_INSTALL_PREFIX="$install" -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF \
        -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >"$work/configure.log" 2>&1 ||
        { give_up "$work" configure.log; return 1; }
    cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 ||
        { give_up "$work" build.log; return 1; }
    cmake --install "$work/build" >/dev/null
    touch "$install/.done"
    rm -rf "$work"
}

# build_package <source package> [--cmake-folder DIR] <options...>: unpacks
# the package's source, runs prepare_<package> (dots and dashes as
# underscores) in it when there is one and builds it (from its folder DIR when
# its CMake files are not at the top) into its cache folder, unless that holds
# a build of an offered version already.
build_package() {
    local package=$1
    shift
    [ -n "$(cached_install "$package")" ] && return 0
    echo "Building $package for Windows"
    local work version install source
    work=$(mktemp -d)
    version=$(fetch_source "$package" "$work") ||
        { echo "cannot fetch the sources of $package" >&2; rm -rf "$work"; return 1; }
    install=$(folder_of "$package" "$version")
    rm -rf "$install"
    local prepare=prepare_${package//[-.]/_}
    if declare -F "$prepare" >/dev/null; then (cd "$work/src" && "$prepare"); fi
    source=$work/src
    if [ "${1:-}" = --cmake-folder ]; then
        source=$work/src/$2
        shift 2
    fi
    build_in "$work" "$source" "$install" "$@" || return 1
    echo "Built $package $version"
}

# GoogleTest for the tests, from the sources that Debian's googletest package
# installs, as a static library.
googletest() {
    local version install
    version=$(dpkg-query -W -f='${Version}' googletest)
    install=$(folder_of googletest "$version")
    if [ ! -f "$install/.done" ]; then
        echo "Building googletest for Windows"
        build_in "$(mktemp -d)" /usr/src/googletest "$install" -DBUILD_SHARED_LIBS=OFF \
            -DBUILD_GMOCK=OFF || return 1
        echo "Built googletest $version"
    fi
    cp -a "$install/." "$prefix/"
}

# build_and_merge <source package> <options...>
build_and_merge() {
    build_package "$@" && merge_package "$1"
}

[ -n "$(source_versions zlib)" ] || ensure_source_lists

sdl2() { build_and_merge libsdl2 -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF; }
# FreeType reads gzip-compressed fonts through the same zlib as libpng.
png_freetype() {
    build_and_merge libpng1.6 -DPNG_SHARED=ON -DPNG_STATIC=OFF -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF || return 1
    build_and_merge freetype -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}
jpeg() { build_and_merge libjpeg-turbo -DENABLE_STATIC=OFF -DWITH_TURBOJPEG=OFF; }
# GNU ld reads no LIBRARY line without a name in a module-definition file,
# and one with a name gives the DLL a name other than the one it is built
# under (ogg.dll for libogg.dll): without the line the file's name holds.
prepare_libvorbis() {
    sed -i '/^LIBRARY/d' win32/*.def
}
prepare_libogg() {
    sed -i '/^LIBRARY/d' win32/*.def
}
ogg_vorbis() {
    build_and_merge libogg || return 1
    build_and_merge libvorbis -DOGG_INCLUDE_DIR="$prefix/include" \
        -DOGG_LIBRARY="$prefix/lib/libogg.dll.a"
}
# The decoders only: no programs, no Ogg container for FLAC, no audio output
# or network for mpg123 (its CMake files are in ports/cmake).
flac_mpg123() {
    build_and_merge flac -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF \
        -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF -DWITH_OGG=OFF || return 1
    build_and_merge mpg123 --cmake-folder ports/cmake -DBUILD_PROGRAMS=OFF \
        -DBUILD_LIBOUT123=OFF -DNETWORK=OFF
}

mkdir -p "$cache"
rm -rf "$prefix"
mkdir -p "$prefix"
# One after another: each build runs -j N compile jobs already.
for build in sdl2 png_freetype jpeg ogg_vorbis flac_mpg123 googletest; do
    $build
done
echo "Windows libraries in $prefix"
