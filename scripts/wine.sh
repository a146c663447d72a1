#!/usr/bin/env bash
# wine.sh PROGRAM.exe [ARGS...]: runs a program built for Windows under Wine
# (Debian's wine64, which is not on PATH), in the prefix
# ~/.cache/zandrel-windows/wine (or $WINEPREFIX), made on first use with the
# X11 driver's window management off (without a window manager every window
# closed waits seconds for it). The MinGW run-time DLLs and those in the
# folders of $ZANDREL_WINE_DLL_FOLDERS (separated by colons: the build folder
# and the C libraries' bin/) are on Wine's search path, so programs in the
# build folder start without copies beside them. Missing DLLs are named
# on standard error instead of a silent exit code 53.
set -euo pipefail
wine=/usr/lib/wine/wine64
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/zandrel-windows/wine}
export WINEDEBUG=${WINEDEBUG:--all,err+module}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if [ ! -f "$WINEPREFIX/.zandrel" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.zandrel" ]; then
            DISPLAY='' "$wine" wineboot --init >/dev/null 2>&1 || true
            DISPLAY='' "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
                >/dev/null 2>&1
            touch "$WINEPREFIX/.zandrel"
        fi
    ) 9>"$WINEPREFIX/.lock"
fi

# Z: is the root of this machine's file system in every Wine prefix.
windows_path() {
    echo "Z:${1//\//\\}"
}
search=()
gcc_dlls=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
IFS=: read -r -a folders <<<"${ZANDREL_WINE_DLL_FOLDERS:-}"
for folder in "${folders[@]}" "$gcc_dlls" /usr/x86_64-w64-mingw32/lib; do
    [ -n "$folder" ] && [ -d "$folder" ] && search+=("$(windows_path "$(realpath "$folder")")")
done
joined=$(IFS=';'; echo "${search[*]}")
export WINEPATH="$joined${WINEPATH:+;$WINEPATH}"
exec "$wine" "$@"
