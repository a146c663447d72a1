#!/usr/bin/env bash
# no_display.sh <example program>...
# With no display to reach, each example says why on standard error and ends
# with a failure; a probe for a Wayland compositor that cannot be there adds
# nothing to that.
set -uo pipefail
status=0
expect() { # <expected text> <program> [DISPLAY]
    local errors display=(-u DISPLAY)
    [ $# -gt 2 ] && display=(DISPLAY="$3")
    errors=$(env -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER "${display[@]}" \
        "$2" --frames 1 2>&1 >/dev/null </dev/null)
    local code=$?
    if [ $code -eq 0 ] || [ "$errors" != "$1" ]; then
        echo "${2##*/} (DISPLAY=${3:-unset}): exit $code, said: $errors" >&2
        status=1
    fi
}
for program in "$@"; do
    expect "no display: DISPLAY is not set" "$program"
done
# A display number no test server takes.
expect "cannot reach the X server :979" "$1" :979
exit $status
