#!/usr/bin/env bash
# Installs what the project needs, builds it, and runs every test: the full suite on the normal
# build, the fuzzers (every reader of outside bytes and text) for 10 seconds each, then the unit
# tests again on a build with AddressSanitizer and UndefinedBehaviorSanitizer and on one with
# ThreadSanitizer (the sanitizer builds make only what the unit tests run).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# The fuzzers of the readers of untrusted bytes, 10 seconds each (longer by hand: scripts/fuzz.sh N).
bash scripts/fuzz.sh 10

unit_targets=(--target tvn_unit_tests tvn_include_order)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTVN_SANITIZE=ON -DTVN_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs" "${unit_targets[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" -L unit --output-on-failure

# Optimised lightly, with line tables only: the sanitizer needs no more, and the build stays short.
# JavaScriptCore's concurrent collector stops the script thread with a signal, which the sanitizer
# holds back while that thread waits in an intercepted call: the collector runs without it here.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=None "-DCMAKE_CXX_FLAGS=-O1 -g1" "-DCMAKE_C_FLAGS=-O1 -g1" \
    -DTVN_SANITIZE_THREAD=ON -DTVN_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" "${unit_targets[@]}"
JSC_useConcurrentGC=false TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp" \
    ctest --test-dir build-tsan -j "$jobs" -L unit --output-on-failure
