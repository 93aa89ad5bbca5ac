#!/bin/sh
# Builds the fuzz targets with clang in build-fuzz and runs fuzz_names for a
# bounded time: FUZZ_SECONDS (60 by default). Further arguments go to
# libFuzzer. New inputs collect in build-fuzz/corpus/names, the seeds in
# fuzz/corpus stay as they are; a crash leaves its input in build-fuzz/.
# JOBS sets the build's parallel jobs (1 by default: the machines are shared).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALVENCE_FUZZ=ON -DTALVENCE_TESTS=OFF -DTALVENCE_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_names -- -j"${JOBS:-1}"
mkdir -p "$build/corpus/names"
exec "$build/fuzz/fuzz_names" "$build/corpus/names" "$root/fuzz/corpus" \
    -max_total_time="${FUZZ_SECONDS:-60}" -artifact_prefix="$build/" -print_final_stats=1 "$@"
