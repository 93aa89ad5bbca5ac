#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a fuzz target with clang in build-fuzz and runs it for a bounded
# time: fuzz/run.sh [names|rtf|pcx|journal] [libFuzzer options...]. The target is
# names by default; FUZZ_SECONDS sets the time (60 by default). New inputs
# collect in build-fuzz/corpus/<target>, the seeds in fuzz/corpus/<target>
# stay as they are; fuzz/<target>.dict is used where there is one. A crash
# leaves its input in build-fuzz/.
# JOBS sets the build's parallel jobs (1 by default: the machines are shared).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
target=names
case "${1:-}" in
names | rtf | pcx | journal)
    target=$1
    shift
    ;;
esac
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALVENCE_FUZZ=ON -DTALVENCE_TESTS=OFF -DTALVENCE_BENCH=OFF >/dev/null
cmake --build "$build" --target "fuzz_$target" -- -j"${JOBS:-1}"
mkdir -p "$build/corpus/$target"
dict=""
[ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
exec "$build/fuzz/fuzz_$target" "$build/corpus/$target" "$root/fuzz/corpus/$target" $dict \
    -max_total_time="${FUZZ_SECONDS:-60}" -artifact_prefix="$build/" -print_final_stats=1 "$@"
