#!/usr/bin/env bash
# Builds the fuzz targets with clang (every reader of bytes or text from outside) and runs each for
# a bounded time.
#     scripts/fuzz.sh [SECONDS]     (default 60, for each target)
# Each target starts from its seeds (tests/fuzz/corpus/<target>, or made by its seeds program) and
# keeps what it finds in build-fuzz/corpus-<target>. Prints libFuzzer's final statistics; exits
# non-zero if it found a crash, a leak, undefined behaviour or a broken property (the input is
# then kept in build-fuzz/crashes/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S tests/fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz

mkdir -p build-fuzz/crashes

# Runs one target for the given time on its working corpus and its seeds.
fuzz() {
    local target=$1 max_len=$2 seeds=${3:-}
    local corpus=build-fuzz/corpus-$target
    mkdir -p "$corpus"
    local inputs=("$corpus")
    if [ -n "$seeds" ]; then
        "build-fuzz/$seeds" "$corpus"
    else
        inputs+=("tests/fuzz/corpus/$target")
    fi
    UBSAN_OPTIONS=halt_on_error=1 "build-fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
        -rss_limit_mb=2048 -max_len="$max_len" -artifact_prefix=build-fuzz/crashes/ "${inputs[@]}" 2>&1 |
        grep -E '^(stat::number_of_executed_units|INFO: Running|SUMMARY|==[0-9]+==ERROR|property broken|Done)' || true
}
fuzz pak_fuzz 4096 pak_fuzz_seeds
fuzz zip_fuzz 8192 zip_fuzz_seeds
fuzz wine_registry_fuzz 4096
fuzz ini_fuzz 2048
fuzz dpkg_fuzz 2048
fuzz exec_output_fuzz 1024
fuzz proc_tcp_fuzz 2048
fuzz vdf_fuzz 4096
fuzz wine_yaml_fuzz 4096
fuzz journal_fuzz 4096
# The PE reader's seeds: Windows files built here with mingw-w64 (never downloaded ones).
mkdir -p build-fuzz/corpus-pe_fuzz
printf '__declspec(dllimport) int helper(void);\nint main(void) { return helper(); }\n' > build-fuzz/pe-seed.c
printf '__declspec(dllexport) int helper(void) { return 1; }\n' > build-fuzz/pe-helper.c
for gcc in x86_64-w64-mingw32-gcc i686-w64-mingw32-gcc; do
    "$gcc" -s -shared -o "build-fuzz/corpus-pe_fuzz/helper-$gcc.dll" build-fuzz/pe-helper.c -Wl,--out-implib,"build-fuzz/libhelper-$gcc.a"
    "$gcc" -s -o "build-fuzz/corpus-pe_fuzz/program-$gcc.exe" build-fuzz/pe-seed.c -Lbuild-fuzz -l"helper-$gcc"
done
fuzz pe_fuzz 65536
fuzz url_fuzz 512
fuzz base64_fuzz 1024
fuzz uri_list_fuzz 1024
fuzz window_message_fuzz 2048
fuzz report_fuzz 1024
# grep hides the stream's exit status; libFuzzer's verdict is whether it left a crash behind.
if compgen -G "build-fuzz/crashes/*" >/dev/null; then
    echo "fuzz: failures kept in build-fuzz/crashes/" >&2
    exit 1
fi
