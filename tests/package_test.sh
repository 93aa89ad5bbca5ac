#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user gets it: built with cpack from the build
# folder, unpacked into a scratch root with dpkg -x, its layout, its
# dependencies (computed, and in agreement with the set-up step), its menu
# entry and description through their validators, its copyright file,
# changelog and manual page, lintian's verdict, and the unpacked program,
# started through its link in bin/, finding its help pages. Run under
# run_x11.sh, which gives it an X server and a window manager.
#
# usage: package_test.sh BUILD-FOLDER
set -u

build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)

missing=""
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli xdotool xwininfo; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "skipped:$missing not installed (scripts/setup.sh installs them)"
    exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/talvence-package.XXXXXX") || exit 1
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "PASS: $*"
}

if ! (cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out") \
    >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$scratch"/out/talvence_*.deb)
pass "package built: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g' | grep -v '^$')
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libicu72; do
    echo "$names" | grep -qx "$lib" || fail "dependency on $lib not computed: $depends"
done
for p in $(sed 's/#.*//' "$source_dir/scripts/runtime-packages"); do
    echo "$names" | grep -qx "$p" || fail "the set-up step installs $p for the program, the package does not depend on it"
done
for p in $names; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
        fail "the package depends on $p, which the set-up step does not install"
done
pass "dependencies: $depends"

root="$scratch/root"
dpkg -x "$deb" "$root"
[ "$(readlink "$root/usr/bin/talvence")" = "../lib/talvence/talvence" ] ||
    fail "usr/bin/talvence is not a link to ../lib/talvence/talvence"
[ -x "$root/usr/lib/talvence/talvence" ] || fail "no program in usr/lib/talvence"
for page in standardis.hl1 groklei.hl1; do
    [ -f "$root/usr/lib/talvence/$page" ] || fail "help page $page is not beside the program"
done
for size in 16 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/talvence.png" ] || fail "no ${size}px icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/talvence.svg" ] || fail "no scalable icon"
pass "layout"

desktop-file-validate "$root/usr/share/applications/de.talvence.Talvence.desktop" &&
    pass "desktop-file-validate" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/de.talvence.Talvence.metainfo.xml" &&
    pass "appstreamcli validate" || fail "appstreamcli validate"

# What a distribution asks for beside the program: the licence in a
# machine-readable copyright file, a changelog of the package's version, and
# a manual page that man reads without a warning.
doc="$root/usr/share/doc/talvence"
if head -1 "$doc/copyright" 2>/dev/null |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
    grep -qx 'License: GPL-3+' "$doc/copyright" &&
    grep -q '<project_license>GPL-3.0-or-later</project_license>' \
        "$root/usr/share/metainfo/de.talvence.Talvence.metainfo.xml"; then
    pass "copyright file and metainfo name GPL-3.0-or-later"
else
    fail "no machine-readable copyright file with GPL-3+, or the metainfo names another licence"
fi
version=$(dpkg-deb -f "$deb" Version)
changed=$(zcat "$doc/changelog.gz" 2>/dev/null | dpkg-parsechangelog -l- -SVersion 2>&1)
[ "$changed" = "$version" ] && pass "changelog of $version" ||
    fail "changelog.gz does not begin with version $version: $changed"
# The notes come over whole, umlauts and all: the changelog holds every line
# of the release's notes in NEWS.
notes="$build/release-notes"
awk -v v="$version" '$1 == v { on = 1; next } /^[0-9]/ { on = 0 } on && /^  /' \
    "$source_dir/NEWS" >"$notes"
if [ -s "$notes" ] &&
    [ "$(zcat "$doc/changelog.gz" | grep -cxF -f "$notes")" -eq "$(wc -l <"$notes")" ]; then
    pass "changelog holds the release notes of $version whole"
else
    fail "changelog.gz lacks lines of the release notes of $version in NEWS"
fi
page="$root/usr/share/man/man1/talvence.1.gz"
if ! command -v man >/dev/null 2>&1; then
    echo "man not installed: the manual page is not checked"
elif [ ! -f "$page" ]; then
    fail "no manual page talvence(1)"
else
    warnings=$(LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >"$scratch/man.txt")
    [ -z "$warnings" ] || fail "man warns about talvence(1): $warnings"
    for word in QT_QPA_PLATFORM Talvence.conf .talvence-journal /usr/lib/talvence; do
        grep -qF "$word" "$scratch/man.txt" || fail "talvence(1) says nothing of $word"
    done
    pass "manual page"
fi

if command -v lintian >/dev/null 2>&1; then
    # A build without DEBFULLNAME and DEBEMAIL has a placeholder maintainer
    # whose address lintian rightly calls bogus; everything else must pass.
    suppress=""
    case "$(dpkg-deb -f "$deb" Maintainer)" in
    *'<unknown@localhost>') suppress="--suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog" ;;
    esac
    # shellcheck disable=SC2086
    lintian -EvIL +pedantic $suppress "$deb" >"$scratch/lintian.log" 2>&1
    if grep -q '^[EW]:' "$scratch/lintian.log"; then
        fail "lintian: $(grep '^[EW]:' "$scratch/lintian.log")"
    else
        pass "lintian: no error, no warning"
    fi
else
    echo "lintian not installed: the package is not checked by it"
fi

# Starts the unpacked program through its link, chooses the first help page
# from the menu, and tells whether the message of a failed open came up.
help_page_fails() {
    workdir="$scratch/work"
    mkdir -p "$workdir"
    (cd "$workdir" && exec "$root/usr/bin/talvence") >"$scratch/program.log" 2>&1 &
    program_pid=$!
    frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^File Talvence$' | head -1)
    if [ -z "$frame" ]; then
        echo "FAIL: the unpacked program showed no frame"
        cat "$scratch/program.log"
        exit 1
    fi
    x=$(xwininfo -id "$frame" | awk '/Absolute upper-left X/{print $4}')
    y=$(xwininfo -id "$frame" | awk '/Absolute upper-left Y/{print $4}')
    # "Hilfe" in the menu bar (in the design's font, after "Bearbeiten"), then its first entry
    xdotool mousemove $((x + 180)) $((y + 10)) click 1
    sleep 0.5
    xdotool mousemove $((x + 220)) $((y + 32)) click 1
    seen=1
    tries=0
    while [ $tries -lt 30 ]; do
        if xdotool search --onlyvisible --name '^Talvence$' >/dev/null 2>&1; then
            seen=0
            break
        fi
        sleep 0.1
        tries=$((tries + 1))
    done
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
    program_pid=""
    return $seen
}

if help_page_fails; then
    fail "the program started through its link did not find its help pages"
else
    # The same steps with a page taken away must bring the message, or the
    # check above proved nothing.
    rm "$root/usr/lib/talvence/standardis.hl1"
    if help_page_fails; then
        pass "the program started through its link finds its help pages"
    else
        fail "no message for a missing page either: the menu was never reached"
    fi
fi

[ $failures -eq 0 ] && echo "package: all checks passed" || echo "package: $failures checks failed"
[ $failures -eq 0 ]
