#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times antiword and wvWare, where installed, on Word documents: each file
from the reader's start to its end, its text written to /dev/null, 30 s at
most.   bench/word_peers.py FILE... (the last one reported on its own)"""
import shutil, statistics, subprocess, sys, time

files = sys.argv[1:]
for name in ("antiword", "wvWare"):
    if not shutil.which(name) or not files:
        continue
    times, ok = [], 0
    for f in files:
        start = time.perf_counter()
        try:
            ok += subprocess.run([name, f], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 timeout=30).returncode == 0
        except subprocess.TimeoutExpired:
            pass
        times.append(time.perf_counter() - start)
    rest = times[:-1] or times
    print(f"{name}: median {statistics.median(rest):.3f} s, slowest {max(rest):.3f} s, "
          f"exit 0 on {ok} of {len(files)}; {files[-1]}: {times[-1]:.3f} s")
