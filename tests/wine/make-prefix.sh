#!/usr/bin/env bash
# Makes the Wine prefix the Wine tests share (once per build folder): wineboot into a scratch
# folder, moved into place only when complete, so that a cut run never leaves half a prefix.
# Tests that change a prefix copy this one first.
#
#     make-prefix.sh FOLDER
set -euo pipefail
prefix=$1
[ -f "$prefix/.made" ] && exit 0
scratch=$prefix.making
rm -rf "$prefix" "$scratch"
mkdir -p "$(dirname "$prefix")"
WINEPREFIX=$scratch WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' wineboot --init
WINEPREFIX=$scratch wineserver -w
[ -f "$scratch/system.reg" ] || { echo "make-prefix.sh: wineboot made no system.reg" >&2; exit 1; }
touch "$scratch/.made"
mv "$scratch" "$prefix"
