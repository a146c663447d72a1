#!/usr/bin/env bash
# run_until_escape.sh <program>: runs a program that opens a window on the
# current X display, lets it draw for a second, presses Escape over its window
# and expects it to end by itself with exit code 0.
set -euo pipefail
export SDL_AUDIODRIVER=dummy
"$1" &
pid=$!

# SDL turns SIGTERM into a quit event: only SIGKILL is sure to end the program.
fail() {
    echo "$1" >&2
    kill -KILL "$pid" 2>/dev/null || true
    exit 1
}

window=""
for _ in $(seq 100); do
    for candidate in $(xdotool search --onlyvisible --name . 2>/dev/null || true); do
        if [ "$(xdotool getwindowpid "$candidate" 2>/dev/null || true)" = "$pid" ]; then
            window=$candidate
        fi
    done
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
done
if [ -z "$window" ]; then
    if ! kill -0 "$pid" 2>/dev/null; then
        status=0
        wait "$pid" || status=$?
        fail "$1 ended with exit code $status before its window appeared"
    fi
    fail "no window of $1 appeared"
fi

sleep 1
# Keyboard focus follows the pointer on a display without a window manager.
xdotool mousemove --window "$window" 50 50 key Escape
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "$1 did not end after Escape"
wait "$pid"
