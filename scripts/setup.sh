#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, from Debian's packages, what one of Talvence's commands needs and
# the machine lacks; installs nothing when all is there.
#
#   scripts/setup.sh run       building and running (./run.sh)
#   scripts/setup.sh test      that and what the tests need (./test.sh)
#   scripts/setup.sh package   building and checking the Debian package (scripts/package.sh)
#
# It never removes or downgrades a package: apt's plan is simulated first,
# and a plan that would remove anything is refused with the packages named.
# The one exception is CI (CI=true, a machine thrown away afterwards), where
# the FUSE FAT tool comes in even where its plan would remove something.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
group=${1:-run}

run_packages=(
  cmake ninja-build g++ pkg-config   # the build
  qt6-base-dev qt6-base-dev-tools    # Qt Core, Gui, Widgets, Test
  libicu-dev                         # the collator behind the natural order
  libjpeg62-turbo-dev                # photos decoded straight into the screen's format
  zlib1g-dev                         # the deflated parts of Word's .docx packages
)
# and what the program needs at run time beyond the libraries it links
while read -r p _; do
  case "$p" in '' | '#'*) ;; *) run_packages+=("$p") ;; esac
done <"$here/runtime-packages"

package_packages=(
  dpkg-dev file                      # the Debian package and its computed dependencies
  lintian man-db                     # the package checked as Debian checks it, its manual page read
  desktop-file-utils appstream       # the validators of the menu entry and the description
)

test_packages=(
  xvfb openbox x11-utils xdotool     # the window tests under a real X server, real input
  dosfstools                         # a FAT file system for the case rename
  dbus at-spi2-core libglib2.0-bin python3-pyatspi   # the program used through the accessibility bus
  clang libclang-rt-14-dev clang-format   # CI's gates: sanitizer and fuzz builds, the format check
)
# fusefat asks for "fuse", which Debian 12's FUSE 3 provides: on a desktop with
# FUSE 3 (the portals, gvfs, flatpak and ntfs-3g depend on it) it comes in
# beside it, and only a machine with neither gets FUSE 2. Naming the FUSE 2
# package itself would replace FUSE 3. Should a plan still remove anything, it
# is left out (the FAT tests say so and skip), except in CI.
fat_packages=(fusefat)

case "$group" in
  run) wanted=("${run_packages[@]}"); optional=() ;;
  test) wanted=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}")
        optional=("${fat_packages[@]}") ;;
  package) wanted=("${run_packages[@]}" "${package_packages[@]}"); optional=() ;;
  *) echo "usage: $0 run|test|package" >&2; exit 2 ;;
esac

missing_of() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=no
apt_update() {
  [ $updated = yes ] && return
  $sudo apt-get update -qq
  updated=yes
}

# What apt would remove to install these: its simulated plan's "Remv" lines.
removals_for() {
  apt-get -s -qq install --no-install-recommends "$@" 2>/dev/null | sed -n 's/^Remv \([^ ]*\).*/\1/p'
}

install() {
  echo "Installing: $*"
  $sudo apt-get install -y -qq --no-install-recommends --no-remove "$@"
}

mapfile -t missing < <(missing_of "${wanted[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  apt_update
  mapfile -t gone < <(removals_for "${missing[@]}")
  if [ ${#gone[@]} -gt 0 ]; then
    echo "setup.sh: installing ${missing[*]} would remove ${gone[*]}; nothing installed." >&2
    echo "setup.sh: install the packages by hand once you have decided what may go." >&2
    exit 1
  fi
  install "${missing[@]}"
fi

mapfile -t missing < <(missing_of "${optional[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  apt_update
  mapfile -t gone < <(removals_for "${missing[@]}")
  if [ ${#gone[@]} -eq 0 ]; then
    install "${missing[@]}"
  elif [ "${CI:-}" = true ]; then
    echo "Installing: ${missing[*]} (CI: removes ${gone[*]})"
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "setup.sh: not installing ${missing[*]}: it would remove ${gone[*]}; the FAT tests are skipped." >&2
  fi
fi
