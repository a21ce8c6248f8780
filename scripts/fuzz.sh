#!/usr/bin/env bash
# Builds the fuzz targets with clang (the pack reader, the zip listing) and runs each for a bounded
# time.
#     scripts/fuzz.sh [SECONDS]     (default 60, for each target)
# Prints libFuzzer's final statistics; exits non-zero if it found a crash, a leak or undefined
# behaviour (the input is then kept in build-fuzz/crashes/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz

mkdir -p build-fuzz/crashes

# Runs one target on its corpus (made by its seeds program) for the given time.
fuzz() {
    local target=$1 seeds=$2 max_len=$3
    local corpus=build-fuzz/corpus-$target
    mkdir -p "$corpus"
    "build-fuzz/$seeds" "$corpus"
    UBSAN_OPTIONS=halt_on_error=1 "build-fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -rss_limit_mb=2048 -max_len="$max_len" -artifact_prefix=build-fuzz/crashes/ "$corpus" 2>&1 |
        grep -E '^(stat::|INFO: Running|SUMMARY|==[0-9]+==ERROR|Done)' || true
}
fuzz pak_fuzz pak_fuzz_seeds 4096
fuzz zip_fuzz zip_fuzz_seeds 8192
# grep hides the stream's exit status; libFuzzer's verdict is whether it left a crash behind.
if compgen -G "build-fuzz/crashes/*" >/dev/null; then
    echo "fuzz: failures kept in build-fuzz/crashes/" >&2
    exit 1
fi
