#!/usr/bin/env bash
# The package: cpack makes the .deb from the build tree into a scratch folder; it unpacks into a
# scratch root (dpkg -x), its tvn runs from there, its desktop entry validates, its icon is in the
# hicolor theme, its texts are in Chinese for a Chinese desktop, and its dependencies name the
# libraries tvn links and the CJK font the page needs.
#
#     check-deb.sh BUILD-FOLDER
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/tvn_*.deb)
dpkg -x "$deb" "$scratch/root"

"$scratch/root/usr/bin/tvn" --help | grep -q -- "--autorun"
# Its texts in Chinese where the desktop speaks it: --help, and the desktop entry.
LANGUAGE= LC_ALL=zh_CN.UTF-8 "$scratch/root/usr/bin/tvn" --help | grep -q "打印此帮助并退出"
grep -qx "Name\[zh_CN\]=tvn" "$scratch/root/usr/share/applications/tvn.desktop"
grep -qx "Comment\[zh_CN\]=查找并修复缺失的系统库和运行库" "$scratch/root/usr/share/applications/tvn.desktop"
desktop-file-validate "$scratch/root/usr/share/applications/tvn.desktop"
test -s "$scratch/root/usr/share/icons/hicolor/48x48/apps/tvn.png"
test -s "$scratch/root/usr/share/icons/hicolor/scalable/apps/tvn.svg"
test -s "$scratch/root/usr/lib/tvn/dist.pak"
test -s "$scratch/root/usr/lib/tvn/webextensions/libtvn-webextension.so"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libwebkit2gtk-4.1-0 libgtk-3-0 libcurl4 libsqlite3-0 libminizip1 fonts-noto-cjk; do
    case $depends in *"$library"*) ;; *) echo "check-deb.sh: $library missing from Depends: $depends" >&2; exit 1 ;; esac
done
echo "check-deb.sh: $(basename "$deb") ok"
