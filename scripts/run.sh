#!/usr/bin/env bash
# Installs what the project needs, builds it, and runs tvn with the arguments given (--help when
# none are given).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tvn
if [ $# -eq 0 ]; then
    set -- --help
fi
exec ./build/app/tvn "$@"
