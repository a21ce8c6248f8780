#!/usr/bin/env bash
# Builds the pack reader's fuzz target with clang and runs it for a bounded time.
#     scripts/fuzz.sh [SECONDS]     (default 60)
# Prints libFuzzer's final statistics; exits non-zero if it found a crash, a leak or undefined
# behaviour (the input is then kept in build-fuzz/crashes/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz

corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/crashes
build-fuzz/pak_fuzz_seeds "$corpus"
UBSAN_OPTIONS=halt_on_error=1 build-fuzz/pak_fuzz -max_total_time="$seconds" -print_final_stats=1 \
    -rss_limit_mb=2048 -max_len=4096 -artifact_prefix=build-fuzz/crashes/ "$corpus" 2>&1 |
    grep -E '^(stat::|INFO: Running|SUMMARY|==[0-9]+==ERROR|Done)' || true
# grep hides the stream's exit status; libFuzzer's verdict is whether it left a crash behind.
if compgen -G "build-fuzz/crashes/*" >/dev/null; then
    echo "fuzz: failures kept in build-fuzz/crashes/" >&2
    exit 1
fi
