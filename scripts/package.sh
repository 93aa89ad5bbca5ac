#!/usr/bin/env bash
# Installs what is missing, builds Talvence optimised and makes its Debian
# package: build-package/talvence_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVENCE_TESTS=OFF \
    -DTALVENCE_BENCH=OFF >/dev/null
cmake --build build-package --target talvence
(cd build-package && cpack -G DEB)
ls build-package/talvence_*.deb
