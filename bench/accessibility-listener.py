#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A client on the accessibility bus that listens as a screen reader does:
it asks for the events a screen reader asks for and, for each, reads the
name and role of the object it came from, which is a round trip to the
program. Prints "ready" once it listens, and the number of events when it
gets SIGTERM."""

import signal
import sys

import pyatspi
from gi.repository import GLib

EVENTS = [
    "object:children-changed",
    "object:state-changed",
    "object:property-change",
    "object:selection-changed",
    "object:active-descendant-changed",
    "object:text-changed",
    "object:visible-data-changed",
    "object:bounds-changed",
    "focus:",
    "window:",
]

count = 0
failed = 0


def on_event(event):
    global count, failed
    count += 1
    try:
        source = event.source
        if source is not None:
            source.name
            source.getRoleName()
    except Exception:  # the object went away meanwhile
        failed += 1


def stop(*_):
    print(f"events {count}, of them with a source gone {failed}", flush=True)
    pyatspi.Registry.stop()
    return False


pyatspi.Registry.registerEventListener(on_event, *EVENTS)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, stop)
GLib.idle_add(lambda: print("ready", flush=True) and False)
pyatspi.Registry.start()
sys.exit(0)
