#!/usr/bin/env bash
# run-tests.sh <build dir> [ctest options...]: runs the tests of a build
# directory, inside a virtual X server when there is no display. A test that
# skips fails the run unless its reason is one allowed below. With
# $ZANDREL_LABELS_RAN naming a file, adds the labels that ran to it.
set -euo pipefail
build=$1
shift
# Why a test may skip (the text of its GTEST_SKIP), each for a lack the
# suite cannot make up for:
allowed_skips=(
    "no AVX2 on this processor"                # the vector mixer's own test
    "the sanitizer reserves the address space" # address-space limits, sanitizer builds
    "fixed-function GL state"                  # the .es copies of its readers
)
run=(ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)" "$@")
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
if [ -z "${DISPLAY:-}" ]; then
    # The display tests start X servers of their own (tests/common/own_display.cpp);
    # this one serves the rest. Without -noreset it resets whenever its last
    # client leaves, and a program that connects just then finds no display.
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "${run[@]}" | tee "$output" || status=$?
else
    "${run[@]}" | tee "$output" || status=$?
fi

# "<test>\t<reason>" for each test whose output says why it skipped.
reasons=$(awk '/^[0-9]+\/[0-9]+ Test: / { name = substr($0, index($0, ": ") + 2) }
               previous ~ /: Skipped$/ { print name "\t" $0 }
               { previous = $0 }' "$build/Testing/Temporary/LastTest.log")
while read -r test; do
    reason=$(printf '%s\n' "$reasons" | awk -F '\t' -v t="$test" '$1 == t { print $2; exit }')
    allowed=false
    for text in "${allowed_skips[@]}"; do
        if [ -n "$reason" ] && [[ $reason == *"$text"* ]]; then allowed=true; fi
    done
    if ! $allowed; then
        echo "$test skipped (${reason:-no reason given}): not a reason run-tests.sh allows" >&2
        status=1
    fi
done < <(sed -nE 's/^\s+[0-9]+ - (.*) \((Skipped|Disabled)\)$/\1/p' "$output")

if [ -n "${ZANDREL_LABELS_RAN:-}" ]; then
    sed -n '/^Label Time Summary:/,/^$/s/^\([^ ]\+\) *=.*/\1/p' "$output" >>"$ZANDREL_LABELS_RAN"
fi
exit "$status"
