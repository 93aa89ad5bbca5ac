#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""feh, the peer of the image viewer, on the same pictures: from its start
until the picture is on screen, and its peak resident memory (VmHWM).

    bench/picture_peers.py [-r repeats] [--display :97] [--talvence BENCH]
                           [--program TALVENCE] PICTURE ...

With --talvence, the same for `BENCH --picture PICTURE` (bench_viewer_windows
on the X server: a frame with the image viewer, made and shown first).
With --program, the real program as a user meets it: started in a folder
that holds the picture alone, "Start" clicked as soon as its frame is
mapped, the picture clicked in the file list as soon as that is drawn, all
timed from the process's start. Needs a window manager on the display
(openbox) and xdotool.

The screen is grabbed with `xwd` in a loop; the picture is on screen once
the top left of feh's window shows the benchmark's pattern (blue 200, the
pictures of `bench_viewer_windows --make-jpeg`). Needs feh, xwd and an X
server at --display (Xvfb is enough).
"""
import os, statistics, struct, subprocess, sys, time

import drive_talvence

def vmhwm(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")

def cpu_seconds(pid):
    """User and system time of the process so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def shows_pattern(display, y0=20, y1=120, x0=20, x1=300):
    data = subprocess.run(["xwd", "-root", "-silent", "-display", display],
                          capture_output=True).stdout
    f = struct.unpack(">25I", data[:100])
    header, bpp, bpl, ncolors = f[0], f[11], f[12], f[19]
    pixels = data[header + 12 * ncolors:]
    step = bpp // 8
    hits = total = 0
    for y in range(y0, y1, 4):
        row = pixels[y * bpl + x0 * step: y * bpl + x1 * step]
        for i in range(0, len(row), step * 4):
            total += 1
            # BGRX: blue 200, red at least 128
            if 190 <= row[i] <= 210 and row[i + 2] >= 120:
                hits += 1
    return hits > total * 0.8

def run_feh(picture, display):
    env = dict(os.environ, DISPLAY=display)
    start = time.monotonic()
    p = subprocess.Popen(["feh", "--geometry", "1024x768+0+0", picture], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    while not shows_pattern(display):
        if time.monotonic() - start > 120:
            break
    shown = time.monotonic() - start
    cpu = cpu_seconds(p.pid)
    time.sleep(0.3)
    peak = vmhwm(p.pid)
    p.terminate()
    p.wait()
    return shown, peak, cpu

def run_talvence(bench, picture, display):
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", BENCH_HOLD="1")
    start = time.monotonic()
    p = subprocess.Popen([bench, "--picture", picture], env=env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # The image viewer's client area lies below its title bar in the frame.
    while not shows_pattern(display, 90, 190, 200, 480):
        if time.monotonic() - start > 120:
            break
    shown = time.monotonic() - start
    cpu = cpu_seconds(p.pid)
    time.sleep(0.3)
    peak = vmhwm(p.pid)
    p.terminate()
    p.wait()
    return shown, peak, cpu

def run_program(program, picture, display):
    run = drive_talvence.Opened(program, picture, display)
    while not shows_pattern(display, run.fy + 70, run.fy + 170, run.fx + 20, run.fx + 300):
        if time.monotonic() - run.start > 120:
            break
    shown = time.monotonic() - run.start
    cpu = cpu_seconds(run.process.pid)
    time.sleep(0.3)
    peak = vmhwm(run.process.pid)
    run.close()
    from_click.append(shown - (run.clicked - run.start))
    return shown, peak, cpu

from_click = []

def main():
    args = sys.argv[1:]
    repeats, display, pictures, bench, program = 3, ":97", [], None, None
    while args:
        a = args.pop(0)
        if a == "-r":
            repeats = int(args.pop(0))
        elif a == "--talvence":
            bench = args.pop(0)
        elif a == "--program":
            program = args.pop(0)
        elif a == "--display":
            display = args.pop(0)
        else:
            pictures.append(a)
    for picture in pictures:
        # Taking turns, so the machine's other work falls on both alike.
        feh, ours = [], []
        for i in range(repeats):
            first, second = (feh, ours) if i % 2 == 0 else (ours, feh)
            for runs in (first, second):
                if runs is feh:
                    runs.append(run_feh(picture, display))
                elif program:
                    runs.append(run_program(program, picture, display))
                elif bench:
                    runs.append(run_talvence(bench, picture, display))
        f = [statistics.median(r[k] for r in feh) for k in (0, 2)] + [max(r[1] for r in feh)]
        print(f"{picture}: feh on screen {f[0]:.3f} s (processor {f[1]:.2f} s), "
              f"peak {f[2]:.0f} MB", flush=True)
        if bench or program:
            t = [statistics.median(r[k] for r in ours) for k in (0, 2)] + [max(r[1] for r in ours)]
            print(f"{picture}: Talvence on screen {t[0]:.3f} s (processor {t[1]:.2f} s), "
                  f"peak {t[2]:.0f} MB; ratios {t[0] / f[0]:.2f} / {t[1] / f[1]:.2f} / "
                  f"{t[2] / f[2]:.2f} (goal 1.05)", flush=True)
        if from_click:
            c = statistics.median(from_click)
            print(f"{picture}: Talvence from the click on the file {c:.3f} s "
                  f"({c / f[0]:.2f}x feh from its start)", flush=True)
            from_click.clear()

main()
