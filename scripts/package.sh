#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds Talvence optimised and hardened and makes its
# Debian package: build-package/talvence_<version>_<arch>.deb.
#
# Whoever builds the package is its maintainer. The name and address come
# from DEBFULLNAME and DEBEMAIL, as Debian's own tools take them (NAME and
# EMAIL where those are unset; DEBEMAIL may also hold "Name <address>").
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package

name=${DEBFULLNAME:-${NAME:-}}
mail=${DEBEMAIL:-${EMAIL:-}}
if [[ $mail =~ ^(.*[^[:space:]])[[:space:]]*\<(.+)\>$ ]]; then
    [ -n "$name" ] || name=${BASH_REMATCH[1]}
    mail=${BASH_REMATCH[2]}
fi
if [ -n "$name" ] && [ -n "$mail" ]; then
    maintainer="$name <$mail>"
else
    # An address nobody reads: lintian calls it bogus, so such a package is
    # not mistaken for one that can be handed on.
    maintainer="Unknown packager <unknown@localhost>"
    echo "package.sh: DEBFULLNAME and DEBEMAIL are not both set; the package's" \
        "maintainer is the placeholder \"$maintainer\"" >&2
fi

# Debian's hardening: fortified functions, the strong stack protector,
# read-only relocations bound at start; the compiler makes PIE by default.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVENCE_TESTS=OFF \
    -DTALVENCE_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DTALVENCE_MAINTAINER="$maintainer" >/dev/null
cmake --build build-package
(cd build-package && cpack -G DEB)
ls build-package/talvence_*.deb
