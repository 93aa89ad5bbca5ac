#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The window rows of bench_rename with an accessibility client listening, as
# a screen reader does: a private X server with a window manager, a session
# bus, the accessibility bus with accessibility switched on, and
# bench/accessibility-listener.py. Arguments go to bench_rename, as for
# bench/run.sh (-r repeats, counts).
#
# Needs, besides what scripts/setup.sh installs: at-spi2-core, dbus and
# python3-pyatspi (apt-get install at-spi2-core dbus python3-pyatspi).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/accessibility-bus.sh"

if [ "${1:-}" = "--inside" ]; then
    shift
    if ! start_accessibility_bus; then
        echo "error: the accessibility bus does not answer" >&2
        exit 1
    fi
    log=$(mktemp)
    /usr/bin/python3 "$root/bench/accessibility-listener.py" >"$log" 2>&1 &
    listener=$!
    tries=0
    until grep -q ready "$log"; do
        tries=$((tries + 1))
        if [ $tries -ge 200 ] || ! kill -0 "$listener" 2>/dev/null; then
            echo "error: the listening client did not start" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
    rc=0
    QT_QPA_PLATFORM=xcb "$@" || rc=$?
    kill -TERM "$listener"
    wait "$listener" || true
    echo "Listening client: $(grep events "$log" || echo 'no count')"
    rm -f "$log"
    kill "$accessibility_bus" 2>/dev/null || true
    exit $rc
fi

missing=$(accessibility_missing)
if [ -n "$missing" ]; then
    echo "missing packages:$missing (apt-get install$missing)" >&2
    exit 1
fi

build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTALVENCE_TESTS=OFF -DTALVENCE_BENCH=ON -DTALVENCE_FUZZ=OFF >/dev/null
cmake --build "$build" --target bench_rename -- -j"${JOBS:-1}"
exec "$root/tests/run_x11.sh" dbus-run-session -- "$0" --inside \
    "$build/bench/bench_rename" --window "$@"
