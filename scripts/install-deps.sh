#!/usr/bin/env bash
# Installs the Debian packages that building and testing Zandrel need, when
# they are missing. Uses sudo when not run as root. --library installs only
# what building and running the library itself needs (no tests, benchmarks,
# examples, fuzzers or reference).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libsdl2-dev libgl-dev libpng-dev libjpeg62-turbo-dev libogg-dev libvorbis-dev
    libfreetype-dev libflac-dev libmpg123-dev
)
case "${1:-}" in
--library) ;;
"")
    packages+=(
        libgtest-dev libbenchmark-dev
        xvfb xauth libgl1-mesa-dri xdotool x11-utils x11-apps xfonts-base fonts-dejavu-core sox
        vorbis-tools flac lame mpg123 clang libclang-rt-14-dev libopenal-dev doxygen
    )
    ;;
*)
    echo "usage: $0 [--library]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
