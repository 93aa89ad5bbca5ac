#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The peers of the text viewer on the same log: `less` in a tmux pane and
glogg on an X server, each from its start until its first screen shows the
log's first line, then until a jump to the end shows the last one; the peak
resident memory (VmHWM) of each.

    bench/text_peers.py [-r repeats] [--display :97] LOG ...

less: the pane is read with `tmux capture-pane` as fast as it answers.
glogg: the screen is grabbed with `xwd` in a loop; its first screen is the
first grab with text (dark pixels) in the top of its log view. glogg shows
the log only once it has indexed all of it. Needs tmux, less, glogg, xwd and
an X server at --display (Xvfb is enough).
"""
import os, statistics, struct, subprocess, sys, time

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

def run_less(log):
    first, last = first_and_last(log)
    name = "textpeers"
    subprocess.run(["tmux", "kill-session", "-t", name], stderr=subprocess.DEVNULL)
    start = time.monotonic()
    subprocess.run(["tmux", "new-session", "-d", "-s", name, "-x", "200", "-y", "50",
                    "less", log], check=True)
    def pane():
        return subprocess.run(["tmux", "capture-pane", "-p", "-t", name],
                              capture_output=True, text=True).stdout
    while first[:150] not in pane():
        pass
    shown = time.monotonic() - start
    pid = subprocess.run(["tmux", "list-panes", "-t", name, "-F", "#{pane_pid}"],
                         capture_output=True, text=True).stdout.split()[0]
    start = time.monotonic()
    subprocess.run(["tmux", "send-keys", "-t", name, "G"])
    while last[:150] not in pane():
        pass
    to_end = time.monotonic() - start
    peak = vmhwm(pid)
    subprocess.run(["tmux", "kill-session", "-t", name])
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

def main():
    args = sys.argv[1:]
    repeats, display = 3, ":97"
    logs = []
    while args:
        a = args.pop(0)
        if a == "-r":
            repeats = int(args.pop(0))
        elif a == "--display":
            display = args.pop(0)
        else:
            logs.append(a)
    for log in logs:
        size = os.path.getsize(log) / 1e6
        less = [run_less(log) for _ in range(repeats)]
        print(f"{log} ({size:.0f} MB): less first screen {statistics.median(r[0] for r in less):.3f} s, "
              f"to the end {statistics.median(r[1] for r in less):.3f} s, "
              f"peak {max(r[2] for r in less):.1f} MB", flush=True)
        glogg = [run_glogg(log, display) for _ in range(repeats)]
        print(f"{log} ({size:.0f} MB): glogg first screen {statistics.median(r[0] for r in glogg):.3f} s, "
              f"peak {max(r[1] for r in glogg):.0f} MB", flush=True)

main()
