#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Counts how often Talvence wakes while it sits idle with the rename window
# open: the context switches of each of its threads over SECONDS, under a
# private X server with a window manager.
#
#   bench/idle-wakeups.sh [SECONDS] [PROGRAM]   (60 and build/src/talvence by default)
set -euo pipefail
secs=${1:-60}
program=$(realpath "${2:-$(dirname "$0")/../build/src/talvence}")
folder=$(mktemp -d)
touch "$folder/a.txt" "$folder/b.jpg"
for d in $(seq 60 99); do [ -e /tmp/.X11-unix/X$d ] || [ -e /tmp/.X$d-lock ] || { disp=$d; break; }; done
Xvfb ":$disp" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
trap 'kill $ppid $wpid $xpid 2>/dev/null; wait 2>/dev/null; rm -rf "$folder"' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$disp" ] && break; sleep 0.1; done
export DISPLAY=":$disp" QT_QPA_PLATFORM=xcb
openbox >/dev/null 2>&1 & wpid=$!
sleep 0.5
(cd "$folder" && exec "$program") >/dev/null 2>&1 & ppid=$!
sleep 2
# "Start" in the menu bar of the frame, which opens centred on the screen;
# under openbox the geometry xdotool reports lies just below the menu bar.
wid=$(xdotool search --sync --name "File Talvence" | head -1)
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove $((X + 23)) $((Y - 12)) click 1
sleep 3
[ -n "${IDLE_SHOT:-}" ] && import -window root "$IDLE_SHOT"
snap() {
    for t in /proc/$ppid/task/*; do
        echo "$(basename "$t") $(awk '/ctxt_switches/ {n += $2} END {print n}' "$t/status")"
    done
}
snap >"$folder/.before"
sleep "$secs"
snap >"$folder/.after"
join "$folder/.before" "$folder/.after" |
    awk -v s="$secs" '{d += $3 - $2; n++} END {printf "%d threads, %d wake-ups in %d s\n", n, d, s}'
