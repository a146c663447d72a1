# shellcheck shell=bash disable=SC2154
# debian-sources.sh: sourced by the scripts that build the C libraries from
# Debian's own source packages for another platform (web-deps.sh,
# windows-deps.sh). They set $cache (the folder of the cached builds),
# $prefix (where merge_package puts them) and $sudo (an array: sudo, or
# nothing as root) first.

# install_missing <package>...: installs the Debian packages not installed yet.
install_missing() {
    local package missing=()
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# apt-get source needs the source lists: the same archives as the binary ones.
ensure_source_lists() {
    if apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx 'Sources'; then
        return
    fi
    local list=/etc/apt/sources.list.d/zandrel-deb-src.sources
    echo "Enabling Debian source lists in $list"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee "$list" >/dev/null
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            "${sudo[@]}" tee /etc/apt/sources.list.d/zandrel-deb-src.list >/dev/null
    fi
    "${sudo[@]}" apt-get update -qq
}

# The versions of a source package the lists offer, newest first.
source_versions() {
    { apt-cache showsrc "$1" 2>/dev/null || true; } | awk '/^Version:/ {print $2}' | sort -urV
}

folder_of() {
    echo "$cache/$1-${2//[:~]/_}"
}

# The cache folder of a finished build of any offered version, or nothing.
cached_install() {
    local version
    for version in $(source_versions "$1"); do
        if [ -f "$(folder_of "$1" "$version")/.done" ]; then
            folder_of "$1" "$version"
            return
        fi
    done
}

# Unpacks the newest version whose files the archive has (a security update's
# sources may be missing from a mirror) into <work>/src; prints that version.
fetch_source() {
    local package=$1 work=$2 version
    for version in $(source_versions "$package"); do
        (cd "$work" && flock "$cache/.apt-lock" \
            apt-get source -qq --download-only "$package=$version" >/dev/null 2>&1) || true
        if (cd "$work" && dpkg-source -x ./*.dsc src >/dev/null 2>&1) ||
            unpack_unsigned "$work"; then
            echo "$version"
            return
        fi
        rm -rf "${work:?}"/*
    done
    return 1
}

# A mirror may lack the upstream signature (.orig.tar.*.asc) that a .dsc
# lists, and then neither apt-get source nor dpkg-source unpacks what it did
# fetch (apt checked each file against the archive's index): the upstream
# tarball and Debian's are unpacked by hand and Debian's patches applied.
unpack_unsigned() {
    local work=$1 orig debian patch
    orig=$(find "$work" -maxdepth 1 -name '*.orig.tar.*' ! -name '*.asc' | head -1)
    debian=$(find "$work" -maxdepth 1 -name '*.debian.tar.*' | head -1)
    [ -n "$orig" ] && [ -n "$debian" ] || return 1
    rm -rf "$work/src" && mkdir "$work/src"
    tar -xf "$orig" -C "$work/src" --strip-components=1 && tar -xf "$debian" -C "$work/src" ||
        return 1
    [ -f "$work/src/debian/patches/series" ] || return 0
    while read -r patch _; do
        case "$patch" in '' | '#'*) continue ;; esac
        patch -s -d "$work/src" -p1 <"$work/src/debian/patches/$patch" || return 1
    done <"$work/src/debian/patches/series"
}

# give_up <work folder> <log>: shows the end of the log and removes the folder.
give_up() {
    tail -40 "$1/$2" >&2
    rm -rf "$1"
}

# run_all <function>...: runs the builds that do not need each other side by side.
run_all() {
    local pids=() failed=0
    for job in "$@"; do
        $job &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
    return $failed
}

# merge_package <source package>: copies its cached install into the prefix,
# where the Zandrel build finds it, with the paths in its package files moved.
merge_package() {
    local install
    install=$(cached_install "$1")
    cp -a "$install/." "$prefix/"
    grep -rlF "$install" "$prefix/lib/pkgconfig" "$prefix/lib/cmake" 2>/dev/null |
        xargs -r sed -i "s|$install|$prefix|g"
}
