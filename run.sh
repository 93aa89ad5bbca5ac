#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Talvence and starts it: in FOLDER where
# one is given, else in a sample folder made on the first start (under the
# user's cache folder), so that nothing of the checkout is renamed by a
# first click.
set -euo pipefail
# FOLDER is where the caller stands, not inside the checkout.
if [ $# -ge 1 ]; then case $1 in /*) ;; *) set -- "$PWD/$1" ;; esac; fi
cd "$(dirname "$0")"
scripts/setup.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target talvence talvence_sample_folder
program="$(pwd)/build/src/talvence"
if [ $# -ge 1 ]; then
    folder=$1
else
    folder="${XDG_CACHE_HOME:-$HOME/.cache}/talvence/Beispielordner"
    if [ ! -d "$folder" ]; then
        QT_QPA_PLATFORM=offscreen build/talvence_sample_folder "$folder"
        echo "Beispielordner: $folder"
    fi
fi
cd "$folder"
exec "$program"
