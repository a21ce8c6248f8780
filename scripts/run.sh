#!/usr/bin/env bash
# The main job: tvn repairs a real Wine prefix for a real Windows program.
#
# Installs what tvn needs (Wine and mingw-w64 among it), builds tvn and the demo's Windows files,
# makes a Wine prefix in build/demo/prefix with wineboot the first time (and takes the demo's
# changes out of it on later runs), and puts the demo program in it (C:\tvn-demo\tvn-demo.exe). The
# program cannot start yet: its DLLs are missing ("before:"). Then the reference server (tvn-server)
# offers the demo catalog on 127.0.0.1, and tvn checks the program in that prefix, downloads and
# registers the DLLs it needs and installs the demo runtime. The program then runs ("after:").
# Arguments go to tvn (--help prints its help).
#
# With a display, tvn opens as usual with the program's check shown; repair from there and close
# tvn. Without one, the same runs under Xvfb unattended: the page repairs on its own (--autorun),
# prints each result, and screenshots are saved in build/demo/screenshots.
# Exit 0 only when the program failed before and printed its line after.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tvn tvn-server tvn-page tvn-demo tvn-screenshot
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    exec ./build/app/tvn --help
fi

demo=$PWD/build/demo
prefix=$demo/prefix
system32=$prefix/drive_c/windows/system32
program='C:\tvn-demo\tvn-demo.exe'
rm -rf "$demo/config" "$demo/screenshots"
mkdir -p "$demo/state" "$demo/config/tvn" "$demo/screenshots"
export WINEPREFIX=$prefix WINEDEBUG=fixme-all

# The prefix: made once; what an earlier run put in it is taken out again, so that every run starts
# from a prefix that lacks the program's DLLs.
if [ ! -f "$prefix/system.reg" ]; then
    echo "run.sh: making the Wine prefix $prefix (wineboot, once)"
    WINEDLLOVERRIDES='mscoree,mshtml=' wineboot --init >"$demo/wineboot.out" 2>&1 || { cat "$demo/wineboot.out" >&2; exit 1; }
    wineserver -w
fi
# The DLLs the catalog serves, and the one the runtime's installer writes.
catalog_dlls=(libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll tvndemo.dll)
if grep -q -e '^\[Software\\\\tvn' -e 'Uninstall\\\\tvn demo runtime\]' "$prefix/system.reg" || [ -e "$system32/tvndemo.dll" ]; then
    echo "run.sh: taking the last run's changes out of the prefix"
    for dll in "${catalog_dlls[@]}" tvndemort.dll; do rm -f "$system32/$dll"; done
    wine reg delete 'HKLM\Software\tvn' /f >/dev/null 2>&1 || true
    wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\tvn demo runtime' /f >/dev/null 2>&1 || true
    wineserver -w
fi
mkdir -p "$prefix/drive_c/tvn-demo"
cp build/demo-windows/tvn-demo.exe "$prefix/drive_c/tvn-demo/tvn-demo.exe"

# Runs the demo program in the prefix: what it printed in $demo/<name>.out, what Wine said in
# $demo/<name>.err, its exit code returned.
run_program() {
    local status=0
    wine "$program" >"$demo/$1.out" 2>"$demo/$1.err" </dev/null || status=$?
    wineserver -w
    return "$status"
}
# What Wine said first about the program's failure (its loader's error), else its first line.
first_words() {
    grep -m1 'err:module' "$1" || grep -m1 . "$1" || echo "(nothing)"
}

before=0
run_program before || before=$?
echo "run.sh: before: $(first_words "$demo/before.err")"
[ "$before" -ne 0 ] || echo "run.sh: the program already ran before the repair" >&2

./build/app/tvn-server --state "$demo/state" --catalog build/demo-catalog --record "$demo/requests.jsonl" >"$demo/server.out" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    grep -q '^listening on ' "$demo/server.out" && break
    kill -0 "$server" 2>/dev/null || { cat "$demo/server.out" >&2; exit 1; }
    sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$demo/server.out")
authority=$(sed -n 's/^authority //p' "$demo/server.out")
[ -n "$address" ] || { echo "run.sh: the reference server did not start" >&2; exit 1; }

# The demo's own configuration: the servers, the authority to trust, the prefix to repair and the
# demo's catalog (the real Windows files the server offers).
cat >"$demo/config/tvn/config.ini" <<INI
[system]
wineprefix = $prefix
[server]
api = $address
report = $address
ca = $authority
[catalog]
name = demo
INI
echo "run.sh: reference server on $address, configuration in $demo/config/tvn, prefix $prefix"

if [ -n "${DISPLAY:-}" ] && [ "${TVN_UNATTENDED:-0}" != 1 ]; then
    XDG_CONFIG_HOME="$demo/config" XDG_CACHE_HOME="$demo/cache" XDG_DATA_HOME="$demo/data" ./build/app/tvn --check "$program" "$@"
else
    xvfb-run -a -s "-screen 0 1280x900x24" bash scripts/unattended.sh "$demo" --check "$program" "$@"
fi
wineserver -w

after=0
run_program after || after=$?
echo "run.sh: after: $(grep -m1 . "$demo/after.out" || first_words "$demo/after.err")"

# What the repair left in the prefix.
for dll in "${catalog_dlls[@]}"; do
    if cmp -s "$system32/$dll" "build/demo-catalog/$dll"; then
        echo "run.sh: in the prefix: $dll, the same bytes as the catalog's"
    else
        echo "run.sh: in the prefix: $dll is missing or differs"
    fi
done
grep -q '^\[Software\\\\tvn\\\\demo\]' "$prefix/system.reg" && echo 'run.sh: registry: HKLM\Software\tvn\demo (tvndemo.dll registered itself)'
grep -q -F '"DisplayName"="tvn demo runtime - 1.0.0"' "$prefix/system.reg" && echo 'run.sh: registry: the Uninstall key of "tvn demo runtime - 1.0.0"'

[ "$before" -ne 0 ] && [ "$after" -eq 0 ] && grep -q '^tvn demo program ran' "$demo/after.out"
