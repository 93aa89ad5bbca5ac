#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a fuzz target with clang in build-fuzz and runs it for a bounded
# time: fuzz/run.sh [TARGET] [libFuzzer options...], TARGET the name of a
# fuzz/fuzz_TARGET.cpp (names, rtf, pcx, ...). The target is
# names by default; FUZZ_SECONDS sets the time (60 by default). New inputs
# collect in build-fuzz/corpus/<target>, the seeds in fuzz/corpus/<target>
# stay as they are; fuzz/<target>.dict is used where there is one. A crash
# leaves its input in build-fuzz/.
# JOBS sets the build's parallel jobs (1 by default: the machines are shared).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
target=names
if [ $# -gt 0 ] && [ -f "$root/fuzz/fuzz_$1.cpp" ]; then
    target=$1
    shift
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALVENCE_FUZZ=ON -DTALVENCE_TESTS=OFF -DTALVENCE_BENCH=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -- -j"${JOBS:-1}"
mkdir -p "$build/corpus/$target" "$root/fuzz/corpus/$target"
dict=""
[ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
exec "$build/fuzz/fuzz_$target" "$build/corpus/$target" "$root/fuzz/corpus/$target" $dict \
    -max_total_time="${FUZZ_SECONDS:-60}" -artifact_prefix="$build/" -print_final_stats=1 "$@"
