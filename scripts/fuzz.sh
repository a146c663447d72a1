#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 600), one target at a time,
# from its corpus in tests/fuzz/corpus and its fixed seeds in tests/fuzz/seeds
# (PNG also from the PNG suite), merges
# what adds coverage back into that corpus (libFuzzer's merge keeps only
# inputs with new features, so it stays small) and prints per target the
# executions, the inputs and features the merge added, and the findings
# (crash, leak, time-out and out-of-memory inputs, kept in build-fuzz).
# Then runs each target once over its corpus and its seeds and prints the
# line coverage of the parser sources (their saving and socket code lives in
# files of its own, which no fuzzer reaches). Builds into build-fuzz with clang, libFuzzer, the
# address and undefined-behaviour sanitizers, and coverage mapping.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
all=(png jpeg bmp tga font wav ogg url path http data text)
targets=("${@:-${all[@]}}")
[[ $# -gt 0 ]] || targets=("${all[@]}")
build=${ZANDREL_FUZZ_BUILD_DIR:-build-fuzz}
root=$PWD
flags="-fprofile-instr-generate -fcoverage-mapping"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "${launcher[@]}" -DZANDREL_BUILD_FUZZERS=ON "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_C_FLAGS=$flags" \
    -DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate \
    -DCMAKE_SHARED_LINKER_FLAGS=-fprofile-instr-generate >/dev/null
cmake --build "$build" $(printf -- '--target fuzz_%s ' "${targets[@]}") >/dev/null

# Leaks of the system libraries the sanitizer run also leaves aside.
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
work=$root/$build/fuzz-run
rm -rf "$work"
mkdir -p "$work/profiles"
seeds_of() {
    local corpus=$root/tests/fuzz/corpus/$1
    mkdir -p "$corpus"
    echo "$corpus"
    [[ ! -d $root/tests/fuzz/seeds/$1 ]] || echo "$root/tests/fuzz/seeds/$1"
    [[ $1 != png ]] || echo "$root/tests/pixmap/data/pngsuite/png"
}

printf '%-6s %12s %10s %10s %9s\n' target executions new-inputs new-feats findings
for name in "${targets[@]}"; do
    binary=$root/$build/tests/fuzz/fuzz_$name
    mapfile -t seeds < <(seeds_of "$name")
    found=$work/$name-found
    mkdir -p "$found"
    LLVM_PROFILE_FILE=/dev/null "$binary" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/$name-" "$found" "${seeds[@]}" \
        >"$work/$name.log" 2>&1 || true
    executions=$(grep -o 'number_of_executed_units: [0-9]*' "$work/$name.log" | grep -o '[0-9]*$' || echo 0)
    LLVM_PROFILE_FILE=/dev/null "$binary" -merge=1 -artifact_prefix="$work/$name-merge-" "${seeds[0]}" "$found" >"$work/$name-merge.log" 2>&1 || true
    added=$(grep -o 'MERGE-OUTER: [0-9]* new files with [0-9]* new features' "$work/$name-merge.log" |
        awk '{print $2, $6}')
    findings=$(find "$work" -maxdepth 1 -name "$name-*" -type f ! -name '*.log' | wc -l)
    printf '%-6s %12s %10s %10s %9s\n' "$name" "${executions:-0}" ${added:-0 0} "$findings"
    # Coverage of the corpus as it now stands.
    LLVM_PROFILE_FILE=$work/profiles/$name.profraw "$binary" -runs=0 "${seeds[@]}" \
        >"$work/$name-cov.log" 2>&1 || true
done

llvm-profdata-14 merge -sparse "$work"/profiles/*.profraw -o "$work/corpus.profdata"
echo
echo "Line coverage of the parsers from the corpus:"
objects=()
for name in "${targets[@]}"; do objects+=(-object "$root/$build/tests/fuzz/fuzz_$name"); done
parsers=(src/pixmap/png_loader.cpp src/pixmap/png_session.hpp src/pixmap/jpeg_loader.cpp
    src/pixmap/jpeg_glue.cpp src/pixmap/bmp_loader.cpp src/pixmap/tga_loader.cpp
    src/audio/wav_loader.cpp src/audio/ogg_loader.cpp src/font/freetype_font.cpp
    src/font/glyph_pixmap.cpp src/stream/data_stream.cpp src/stream/text_stream.cpp
    src/net/http_head.cpp)
# The mapping names files through the build folder, so the report is filtered
# by the names it prints rather than by path arguments.
llvm-cov-14 report "$root/$build/libzandrel.so" "${objects[@]}" \
    -instr-profile="$work/corpus.profdata" 2>/dev/null |
    awk -v list="${parsers[*]}" 'BEGIN { n = split(list, f, " "); for (i = 1; i <= n; ++i) want[f[i]] = 1
                                         print "file", "lines", "missed", "cover" }
                                 $1 in want { print $1, $8, $9, $10 }' | column -t
echo "Per-line detail: llvm-cov-14 show $build/libzandrel.so -instr-profile=$work/corpus.profdata <file>"
