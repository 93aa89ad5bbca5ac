#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Uses Talvence from outside, through the accessibility bus, as a screen
reader or a desktop's test driver does: opens the rename window from the
menu, reads its controls and its file list, and presses the numbering
button. usage: accessible_client.py FOLDER (the folder Talvence shows)"""

import os
import sys
import time

import pyatspi

folder = sys.argv[1]
failures = []


def wait_for(what, find, seconds=20):
    until = time.monotonic() + seconds
    while time.monotonic() < until:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    sys.exit(f"FAIL: no {what} after {seconds} s")


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    if node.getRoleName() in ("list", "list box"):
        return  # the rows are read on their own
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i), depth + 1)


def find(root, role, name=None):
    for node in walk(root):
        try:
            if node.getRoleName() == role and (name is None or node.name == name):
                return node
        except Exception:
            pass  # went away while we looked
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Talvence":
            return app
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press", "Click"):
            action.doAction(i)
            return
    action.doAction(0)


def rows(listing):
    return [listing.getChildAtIndex(i).name for i in range(listing.childCount)]


app = wait_for("application named Talvence on the accessibility bus", application)
press(wait_for('menu item "Start"', lambda: find(app, "menu item", "Start")))
button = wait_for('push button "Standardisieren"',
                  lambda: find(app, "push button", "Standardisieren"))
window = button
while window is not None and window.getRoleName() not in ("internal frame", "frame"):
    window = window.parent

# Every control a user works with tells what it is.
for node in walk(window):
    role = node.getRoleName()
    if role in ("push button", "radio button", "text", "list", "combo box", "check box"):
        if not node.name.strip():
            parent = node.parent
            failures.append(f"a {role} without a name (in the {parent.getRoleName()} "
                            f"'{parent.name}')")

listing = wait_for('list "Dateien"', lambda: find(window, "list", "Dateien"))
expected = ["a.txt", "b 2.txt", "b 10.txt"]
shown = wait_for("the folder's files in the list",
                 lambda: rows(listing) if rows(listing) == expected else None, seconds=10)

press(button)
numbered = ["1.txt", "2.txt", "3.txt"]
wait_for("the numbered files on disk",
         lambda: sorted(os.listdir(folder)) == numbered, seconds=20)
wait_for("the numbered files in the list",
         lambda: rows(listing) == numbered, seconds=10)

if failures:
    sys.exit("FAIL: " + "; ".join(failures))
print("PASS: opened, read and pressed through the accessibility bus")
