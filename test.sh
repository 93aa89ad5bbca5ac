#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Talvence with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test
# Warnings fail the build here, so none creeps back in.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure
