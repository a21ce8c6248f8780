#!/usr/bin/env bash
# Plants each fault of tests/mutations.tsv, one at a time, in a copy of the tree, rebuilds the unit
# tests and runs them: a fault is "caught" when some unit test fails with it in place. Takes
# minutes (a rebuild and the unit label per fault); not part of CI.
#     scripts/mutate.sh [LIST]     every fault of the list (default tests/mutations.tsv)
# Exits non-zero when a fault is missed or cannot be planted (its text is not found exactly once).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$root/build-mutate
list=$(realpath "${1:-$root/tests/mutations.tsv}")

# The copy follows the working tree (committed or not); build folders stay out.
rm -rf "$work/src"
mkdir -p "$work/src"
tar --exclude='./build*' --exclude='./web/node_modules' --exclude='./.git' -cf - . | tar -xf - -C "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVN_BUILD_BENCH=OFF >/dev/null
cmake --build "$work/build" --target tvn_unit_tests >/dev/null

caught=0 missed=0 failed=0
while IFS=$'\t' read -r file find replace what; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    target=$work/src/$file
    cp "$target" "$target.orig"
    if ! FIND="$find" REPLACE="$replace" python3 - "$target" <<'PY'
import os, sys
path = sys.argv[1]
unescape = lambda text: text.replace("\\n", "\n").replace("\\t", "\t")
find, replace = unescape(os.environ["FIND"]), unescape(os.environ["REPLACE"])
text = open(path).read()
if text.count(find) != 1:
    sys.exit(1)
open(path, "w").write(text.replace(find, replace))
PY
    then
        echo "not planted: $file: $what"
        failed=$((failed + 1))
        mv "$target.orig" "$target"
        continue
    fi
    if ! cmake --build "$work/build" --target tvn_unit_tests </dev/null >/dev/null 2>&1; then
        verdict="caught (the build fails)"
    elif ctest --test-dir "$work/build" -L unit -E '^layout\.' -j "$(nproc)" --stop-on-failure </dev/null >/dev/null 2>&1; then
        verdict=missed
    else
        verdict=caught
    fi
    mv "$target.orig" "$target"
    touch "$target" # rebuilt without the fault next time
    echo "$verdict: $file: $what"
    [[ $verdict == missed ]] && missed=$((missed + 1)) || caught=$((caught + 1))
done < "$list"

echo "$caught of $((caught + missed + failed)) caught"
[[ $missed -eq 0 && $failed -eq 0 ]]
