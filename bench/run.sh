#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the benchmarks optimised in build-bench and runs them. Arguments go
# to bench_rename: [-r repeats] [count ...], by default -r 3 10000 100000 200000.
# JOBS sets the build's parallel jobs (1 by default: the machines are shared).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTALVENCE_TESTS=OFF -DTALVENCE_BENCH=ON -DTALVENCE_FUZZ=OFF >/dev/null
cmake --build "$build" --target bench_rename bench_viewer_windows bench_viewers -- -j"${JOBS:-1}"
exec "$build/bench/bench_rename" "$@"
