#!/usr/bin/env bash
# The main job: installs what tvn needs, builds it, starts the reference server (tvn-server) on
# 127.0.0.1 offering the demo catalog, writes a demo configuration that names it, and runs tvn on
# that configuration; closing tvn stops the server. Arguments go to tvn (--help prints its help).
#
# With a display, tvn opens as usual. Without one, the same runs under Xvfb unattended: the page
# scans and repairs on its own (--autorun), each item's result is printed, screenshots are saved
# in build/demo/screenshots, and the script exits 0 only when every item is in place.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tvn tvn-server tvn-page tvn-screenshot
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    exec ./build/app/tvn --help
fi

demo=$PWD/build/demo
rm -rf "$demo/config" "$demo/screenshots"
mkdir -p "$demo/state" "$demo/config/tvn" "$demo/screenshots"

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

# The demo's own configuration: the servers, the authority to trust, and no Wine prefix (C:\ is a
# drive_c folder inside the demo folder, so nothing of the machine's own is touched).
cat >"$demo/config/tvn/config.ini" <<INI
[system]
wineprefix = none
[server]
api = $address
report = $address
ca = $authority
INI
echo "run.sh: reference server on $address, configuration in $demo/config/tvn"

if [ -n "${DISPLAY:-}" ] && [ "${TVN_UNATTENDED:-0}" != 1 ]; then
    XDG_CONFIG_HOME="$demo/config" XDG_CACHE_HOME="$demo/cache" ./build/app/tvn "$@"
else
    xvfb-run -a -s "-screen 0 1280x900x24" bash scripts/unattended.sh "$demo" "$@"
fi
