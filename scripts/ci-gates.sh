#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What CI holds every change to beyond the tests of ./test.sh:
#   - the sources as clang-format writes them;
#   - the test suite built with the address and undefined-behaviour sanitizers
#     and run (the tests that start the program from outside, the package and
#     the set-up check excepted: they test no code of ours the others miss);
#   - under the thread sanitizer, the tests of the two parts that use a
#     thread: the line index (its indexer) and the restore (its folder read);
#   - every fuzz target for FUZZ_SECONDS (60) from its seeds.
# Build folders: build-asan, build-tsan, build-fuzz. JOBS as for cmake (2).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }

step "clang-format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

step "tests under ASan and UBSan"
san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVENCE_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$san" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j"$jobs"
# Qt and fontconfig keep caches until the process ends: leaks are not checked.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" -E '^(package|accessible|setup)$'

step "line index and restore under TSan"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVENCE_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build build-tsan -j"$jobs" --target tst_linefile tst_restore
# The restore's tests start mkfs.fat and fusefat after a thread has run.
for t in tst_linefile tst_restore; do
    TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp" \
        QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 build-tsan/tests/$t
done

step "fuzz targets, ${FUZZ_SECONDS:-60} s each"
for source in fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    JOBS=$jobs FUZZ_SECONDS=${FUZZ_SECONDS:-60} fuzz/run.sh "${target#fuzz_}" >"build-fuzz-$target.log" 2>&1 ||
        { tail -60 "build-fuzz-$target.log"; echo "$target failed"; exit 1; }
    grep -E '^(stat::number_of_executed_units|Done )' "build-fuzz-$target.log" | tr '\n' ' '
    echo "$target clean"
done
