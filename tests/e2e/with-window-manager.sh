#!/bin/sh
# Runs a command on the current X display as on a small desktop: a window manager (openbox) and a
# panel that takes the top strip of the screen, so that the work area is smaller than the screen.
# Run under xvfb-run. Usage: with-window-manager.sh <panel program> <command> [arguments...]
set -u
panel_program=$1
shift

# Waits (ten seconds at most) until the shell condition in $1 holds.
wait_for() {
    tries=0
    until eval "$1"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "with-window-manager: timed out waiting for: $1" >&2
            return 1
        fi
        sleep 0.1
    done
}

openbox --sm-disable --config-file "$(dirname "$0")/openbox-rc.xml" >/dev/null 2>&1 &
wm=$!
wait_for 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' || { kill "$wm"; exit 1; }
"$panel_program" >/dev/null 2>&1 &
panel=$!
wait_for 'xprop -root _NET_WORKAREA 2>/dev/null | grep -q "= 0, 30,"' || { kill "$panel" "$wm"; exit 1; }

"$@"
status=$?
kill "$panel" "$wm" 2>/dev/null
wait 2>/dev/null
exit "$status"
