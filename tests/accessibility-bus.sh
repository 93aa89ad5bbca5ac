# SPDX-License-Identifier: GPL-3.0-or-later
# Shell functions for running Talvence with the accessibility bus, shared by
# tests/accessible_test.sh and bench/run-accessible.sh. Source it; it runs
# nothing by itself.

# Prints the Debian packages missing for it, with a leading blank each.
accessibility_missing() {
    missing=""
    [ -x /usr/libexec/at-spi-bus-launcher ] || missing="$missing at-spi2-core"
    command -v dbus-run-session >/dev/null 2>&1 || missing="$missing dbus"
    command -v gdbus >/dev/null 2>&1 || missing="$missing libglib2.0-bin"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing="$missing python3-pyatspi"
    printf '%s' "$missing"
}

# Inside a session bus: starts the accessibility bus (its process id in
# accessibility_bus) and switches accessibility on, as a screen reader does
# when it starts. Fails when the bus does not answer within 10 seconds.
start_accessibility_bus() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    accessibility_bus=$!
    tries=0
    until gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' \
        >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ $tries -ge 100 ]; then
            kill "$accessibility_bus" 2>/dev/null
            return 1
        fi
        sleep 0.1
    done
}
