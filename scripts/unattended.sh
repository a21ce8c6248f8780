#!/usr/bin/env bash
# The unattended half of the main job, on a virtual display: runs tvn --autorun on the demo
# configuration, prints the page's lines as they come, saves screenshots once the page reports
# that it has finished, closes tvn through the page's own close button, and exits 0 only when every
# item is in place (with --check: when the program misses nothing any more).
#
#     unattended.sh DEMO-FOLDER [tvn arguments]
set -euo pipefail
demo=$1
shift
output=$demo/tvn.out
shots=$demo/screenshots

XDG_CONFIG_HOME="$demo/config" XDG_CACHE_HOME="$demo/cache" XDG_DATA_HOME="$demo/data" ./build/app/tvn --autorun "$@" >"$output" 2>&1 &
tvn=$!

# The page's console lines carry "CONSOLE INFO tvn: ..."; print each once, as it comes.
printed=0
finished=""
for _ in $(seq 1 1200); do
    mapfile -t lines < <(sed -n 's/.*CONSOLE [A-Z]* \(tvn: .*\)$/\1/p' "$output")
    for ((i = printed; i < ${#lines[@]}; i++)); do
        echo "${lines[i]}"
        case ${lines[i]} in "tvn: finished: "* | "tvn: check finished: "*) finished=${lines[i]} ;; esac
    done
    printed=${#lines[@]}
    [ -n "$finished" ] && break
    kill -0 "$tvn" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$finished" ]; then
    echo "unattended.sh: the page never finished; tvn's output:" >&2
    cat "$output" >&2
    kill "$tvn" 2>/dev/null || true
    exit 1
fi

window=$(xdotool search --classname CefMainWindow_tvn | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
click() { xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1; }
case $finished in "tvn: check finished: "*)
    # The program's check, then its dialog closed (Esc) for the views behind it.
    ./build/tools/tvn-screenshot "$shots/check.png" "$window"
    xdotool windowfocus --sync "$window" key Escape
    for _ in $(seq 1 50); do
        ./build/tools/tvn-screenshot "$shots/libraries.png" "$window"
        cmp -s "$shots/check.png" "$shots/libraries.png" || break
        sleep 0.1
    done
esac
./build/tools/tvn-screenshot "$shots/libraries.png" "$window"
xdotool windowfocus --sync "$window" key ctrl+2 # the Runtimes view; its picture is taken once the window shows something else
for _ in $(seq 1 50); do
    ./build/tools/tvn-screenshot "$shots/runtimes.png" "$window"
    cmp -s "$shots/libraries.png" "$shots/runtimes.png" || break
    sleep 0.1
done
echo "unattended.sh: screenshots in $shots"
click "$((WIDTH - 23))" 18 # the title bar's close button
status=0
wait "$tvn" || status=$?
[ "$status" -eq 0 ] || { echo "unattended.sh: tvn exited with $status" >&2; exit 1; }

case $finished in
"tvn: check finished: "*) # "tvn: check finished: N missing"
    [ "$finished" = "tvn: check finished: 0 missing" ] ;;
*) # "tvn: finished: N of M in place"
    read -r done total < <(echo "$finished" | sed -n 's/^tvn: finished: \([0-9]*\) of \([0-9]*\) in place.*/\1 \2/p')
    [ -n "${done:-}" ] && [ "$done" = "$total" ] ;;
esac
