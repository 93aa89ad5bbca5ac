#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Talvence used from outside through the accessibility bus (see
# accessible_client.py). Run under run_x11.sh: it needs the private X server
# and window manager that sets up. Exits 77 (skipped) where the session bus,
# the accessibility bus or the Python client library are missing.
#
# usage: accessible_test.sh TALVENCE-EXECUTABLE
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/accessibility-bus.sh"

if [ "${1:-}" = "--inside" ]; then
    shift
    program=$1 folder=$2
    if ! start_accessibility_bus; then
        # The machine's set-up, not the program: skipped, not failed.
        echo "skipped: the accessibility bus does not start here"
        exit 77
    fi
    (cd "$folder" && exec "$program") >"$folder/../talvence.log" 2>&1 &
    app=$!
    status=0
    timeout 120 /usr/bin/python3 "$here/accessible_client.py" "$folder" || status=1
    kill "$app" "$accessibility_bus" 2>/dev/null
    wait "$app" 2>/dev/null
    [ $status -eq 0 ] || cat "$folder/../talvence.log" >&2
    exit $status
fi

if [ $# -ne 1 ]; then
    echo "usage: $0 TALVENCE-EXECUTABLE" >&2
    exit 2
fi
missing=$(accessibility_missing)
if [ -n "$missing" ]; then
    echo "skipped:$missing not installed"
    exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talvence-a11y.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/folder"
for name in "b 10.txt" "a.txt" "b 2.txt"; do
    printf '%s\n' "$name" >"$scratch/folder/$name"
done
status=0
dbus-run-session -- "$0" --inside "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" \
    "$scratch/folder" 2>"$scratch/session.log" || status=$?
# The bus daemon's own chatter (it may not raise its file limit) is no news.
[ $status -eq 0 ] || [ $status -eq 77 ] || grep -v 'fd limit' "$scratch/session.log" >&2
exit $status
