#!/usr/bin/env bash
# Installs what the project needs, builds it, and runs every test: the full suite on the normal
# build, the fuzzers (every reader of outside bytes and text) for 15 seconds each, then the unit
# tests again on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

# The fuzzers of the readers of untrusted bytes, 15 seconds each.
bash scripts/fuzz.sh 15

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTVN_SANITIZE=ON -DTVN_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" -L unit --output-on-failure
