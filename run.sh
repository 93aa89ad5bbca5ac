#!/usr/bin/env bash
# Installs what is missing, builds Talvence and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target talvence
exec build/src/talvence
