#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs, from Debian's packages, whatever building, running and testing
# Talvence needs and the machine lacks. Installs nothing when all is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config   # the build
  qt6-base-dev qt6-base-dev-tools    # Qt Core, Gui, Widgets, Test
  libicu-dev                         # the collator behind the natural order
  xvfb openbox x11-utils xdotool     # the window tests under a real X server, real input
  dosfstools fusefat fuse            # the case rename on a FAT file system
  dpkg-dev file                      # the Debian package and its computed dependencies
  lintian man-db                     # the package checked as Debian checks it, its manual page read
  desktop-file-utils appstream       # the validators of the menu entry and the description
  dbus at-spi2-core libglib2.0-bin python3-pyatspi   # the program used through the accessibility bus
)
# and what the program needs at run time beyond the libraries it links
while read -r p _; do
  case "$p" in ''|'#'*) ;; *) packages+=("$p") ;; esac
done < "$(dirname "$0")/runtime-packages"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
