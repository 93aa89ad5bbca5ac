#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one test executable under a private X server with a real window
# manager (Xvfb + openbox), so that what the window manager makes of our
# windows can be checked. Exits 77 (skipped) when the tools are missing,
# otherwise with the test's own exit code.
#
# usage: run_x11.sh TEST-EXECUTABLE [ARGS...]

set -u

if [ $# -lt 1 ]; then
    echo "usage: $0 TEST-EXECUTABLE [ARGS...]" >&2
    exit 2
fi

missing=""
for tool in Xvfb openbox xprop xwininfo; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "skipped:$missing not installed (packages xvfb, openbox, x11-utils)"
    exit 77
fi

xvfb_pid=""
wm_pid=""
test_pid=""
scratch=""

cleanup() {
    # Leave nothing behind, whichever way we got here.
    if [ -n "$test_pid" ]; then
        kill "$test_pid" 2>/dev/null
        wait "$test_pid" 2>/dev/null
    fi
    if [ -n "$wm_pid" ]; then
        kill "$wm_pid" 2>/dev/null
        wait "$wm_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ -n "$scratch" ]; then
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talvence-x11.XXXXXX") || exit 1
chmod 0700 "$scratch"
mkdir -m 0700 "$scratch/runtime" "$scratch/config" "$scratch/home" || exit 1
# CI has no session: give every program here a private runtime, config and
# home folder so nothing reads or writes the real user's files.
XDG_RUNTIME_DIR="$scratch/runtime"
XDG_CONFIG_HOME="$scratch/config"
HOME="$scratch/home"
export XDG_RUNTIME_DIR XDG_CONFIG_HOME HOME
unset WAYLAND_DISPLAY XAUTHORITY

# Find a display number nobody uses, then start the server on it. Another
# runner can pick the same number between the check and the start; only one
# server wins the lock file, which holds the winner's process id, so ours is
# up once its socket exists and the lock names it. Otherwise try the next.
display_up=""
n=90
while [ $n -lt 190 ]; do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
        n=$((n + 1))
        continue
    fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset \
        >"$scratch/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Bounded wait (about 20 s) for the server to own the display.
    tries=0
    while [ $tries -lt 200 ]; do
        owner=""
        if [ -f "/tmp/.X$n-lock" ]; then
            owner=$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)
        fi
        if [ -n "$owner" ] && [ "$owner" != "$xvfb_pid" ]; then
            break # someone else's server
        fi
        if [ "$owner" = "$xvfb_pid" ] && [ -S "/tmp/.X11-unix/X$n" ]; then
            display_up=yes
            break
        fi
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
        tries=$((tries + 1))
    done
    if [ -n "$display_up" ]; then
        break
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    n=$((n + 1))
done
if [ -z "$display_up" ]; then
    echo "error: could not start Xvfb" >&2
    [ -f "$scratch/xvfb.log" ] && cat "$scratch/xvfb.log" >&2
    exit 1
fi
DISPLAY=":$n"
export DISPLAY

# The server accepts connections once the socket is there, but make sure.
tries=0
until xprop -root >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ $tries -ge 200 ]; then
        echo "error: Xvfb on $DISPLAY does not answer" >&2
        cat "$scratch/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done

# HOME and XDG_CONFIG_HOME are private, so openbox runs with the system's
# default configuration, not with whatever the user has set up.
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
wm_pid=$!

# The window manager has taken the screen once it announces itself on the
# root window.
tries=0
while :; do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        break
    fi
    tries=$((tries + 1))
    if [ $tries -ge 300 ] || ! kill -0 "$wm_pid" 2>/dev/null; then
        echo "error: openbox did not take the screen on $DISPLAY" >&2
        cat "$scratch/openbox.log" >&2
        exit 1
    fi
    sleep 0.1
done

QT_QPA_PLATFORM=xcb
export QT_QPA_PLATFORM

# In the background so that a signal to this script is handled at once
# instead of after the test has finished on its own.
"$@" &
test_pid=$!
wait "$test_pid"
status=$?
test_pid=""
exit $status
