#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The peers of the text viewer on the same log: `less` in a tmux pane and
glogg on an X server, each from its start until its first screen shows the
log's first line, then until a jump to the end shows the last one; the peak
resident memory (VmHWM) of each.

    bench/text_peers.py [-r repeats] [--display :97] [--program TALVENCE]
                        [--no-glogg] LOG ...

less: in a new window of one tmux server that runs throughout, as in a
terminal a user has open; the pane is read with `tmux capture-pane` every
millisecond.
glogg: the screen is grabbed with `xwd` in a loop; its first screen is the
first grab with text (dark pixels) in the top of its log view. glogg shows
the log only once it has indexed all of it. Needs tmux, less, glogg, xwd and
an X server at --display (Xvfb is enough).
"""
import os, statistics, struct, subprocess, sys, time

import drive_talvence

def vmhwm(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return float("nan")

def first_and_last(log):
    with open(log, "rb") as f:
        first = f.readline().decode("utf-8", "replace").rstrip("\n")
        f.seek(max(0, os.path.getsize(log) - 4096))
        last = f.read().decode("utf-8", "replace").rstrip("\n").split("\n")[-1]
    return first, last

SERVER = "textpeers"

def tmux(*args, **kw):
    return subprocess.run(["tmux", "-L", SERVER, *args], **kw)

def run_less(log):
    first, last = first_and_last(log)
    # The server and its session run already; each run is a new window.
    start = time.monotonic()
    window = tmux("new-window", "-P", "-F", "#{window_id}", "-t", "peers", "less", log,
                  capture_output=True, text=True, check=True).stdout.strip()
    def pane():
        return tmux("capture-pane", "-p", "-t", window, capture_output=True, text=True).stdout
    while first[:150] not in pane():
        time.sleep(0.001)
    shown = time.monotonic() - start
    pid = tmux("list-panes", "-t", window, "-F", "#{pane_pid}",
               capture_output=True, text=True).stdout.split()[0]
    start = time.monotonic()
    tmux("send-keys", "-t", window, "G")
    while last[:150] not in pane():
        time.sleep(0.001)
    to_end = time.monotonic() - start
    peak = vmhwm(pid)
    tmux("kill-window", "-t", window)
    return shown, to_end, peak

def grab_has_text(display, box):
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display],
                          capture_output=True).stdout
    f = struct.unpack(">25I", data[:100])
    header, bpp, bpl, ncolors = f[0], f[11], f[12], f[19]
    pixels = data[header + 12 * ncolors:]
    x0, y0, x1, y1 = box
    step = bpp // 8
    dark = light = 0
    for y in range(y0, y1, 2):
        row = pixels[y * bpl + x0 * step: y * bpl + x1 * step]
        values = row[0::step]
        dark += sum(1 for v in values if v < 0x60)
        light += sum(1 for v in values if v > 0xC0)
    # Text: dark strokes on a light ground (a window not yet painted is black).
    return dark > 20 and light > 4 * dark

def run_glogg(log, display):
    env = dict(os.environ, DISPLAY=display)
    start = time.monotonic()
    p = subprocess.Popen(["glogg", "--new-session", log], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The top of glogg's log view in its first window, at the screen's top left.
    while not grab_has_text(display, (60, 100, 600, 140)):
        if time.monotonic() - start > 300:
            break
    shown = time.monotonic() - start
    time.sleep(0.5)
    peak = vmhwm(p.pid)
    p.terminate()
    p.wait()
    return shown, peak

def run_program(program, log, display):
    run = drive_talvence.Opened(program, log, display)
    # The text viewer opens over the lower half of the rename window; its
    # first lines cover the bottom of the folder list, white and empty in a
    # folder two levels below the root.
    fx, fy = run.fx, run.fy
    while not grab_has_text(display, (fx + 30, fy + 275, fx + 230, fy + 330)):
        if time.monotonic() - run.start > 120:
            break
    shown = time.monotonic() - run.start
    peak = vmhwm(run.process.pid)
    run.close()
    return shown, shown - (run.clicked - run.start), peak

def main():
    args = sys.argv[1:]
    repeats, display, program, glogg_too = 3, ":97", None, True
    logs = []
    while args:
        a = args.pop(0)
        if a == "-r":
            repeats = int(args.pop(0))
        elif a == "--program":
            program = args.pop(0)
        elif a == "--no-glogg":
            glogg_too = False
        elif a == "--display":
            display = args.pop(0)
        else:
            logs.append(a)
    tmux("kill-server", stderr=subprocess.DEVNULL)
    tmux("new-session", "-d", "-s", "peers", "-x", "200", "-y", "50", check=True)
    for log in logs:
        size = os.path.getsize(log) / 1e6
        # Taking turns, so the machine's other work falls on both alike.
        less, ours = [], []
        for _ in range(repeats):
            less.append(run_less(log))
            if program:
                ours.append(run_program(program, log, display))
        print(f"{log} ({size:.0f} MB): less first screen {statistics.median(r[0] for r in less):.3f} s, "
              f"to the end {statistics.median(r[1] for r in less):.3f} s, "
              f"peak {max(r[2] for r in less):.1f} MB", flush=True)
        if ours:
            print(f"{log} ({size:.0f} MB): Talvence first screen "
                  f"{statistics.median(r[0] for r in ours):.3f} s from its start, "
                  f"{statistics.median(r[1] for r in ours):.3f} s from the click, "
                  f"peak {max(r[2] for r in ours):.0f} MB", flush=True)
        if not glogg_too:
            continue
        glogg = [run_glogg(log, display) for _ in range(repeats)]
        print(f"{log} ({size:.0f} MB): glogg first screen {statistics.median(r[0] for r in glogg):.3f} s, "
              f"peak {max(r[1] for r in glogg):.0f} MB", flush=True)

try:
    main()
finally:
    tmux("kill-server", stderr=subprocess.DEVNULL)
