#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Remakes the screenshots the README shows (docs/screenshots/): the program
# under a private X server with a window manager, driven by real clicks, in a
# folder of sample files made here. Needs the build (./run.sh or ./test.sh
# makes it), xdotool and ImageMagick's import; installs what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
program="$root/build/src/talvence"
[ -x "$program" ] || { echo "build first: ./run.sh or ./test.sh" >&2; exit 1; }
scripts/setup.sh
command -v import >/dev/null || {
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get install -y -qq --no-install-recommends imagemagick
}

out="$root/docs/screenshots"
mkdir -p "$out"
scratch=$(mktemp -d)
demo=""
xvfb=""
wm=""
app=""
cleanup() {
    for pid in $app $wm $xvfb; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch" "$demo"
}
trap cleanup EXIT

# Sample files: holiday pictures, notes and a letter, in a folder whose path
# reads well in the folder list.
demo="${TMPDIR:-/tmp}/talvence-demo"
rm -rf "$demo"
work="$demo/Urlaub 2026"
mkdir -p "$work"
convert -size 900x640 gradient:'#1e6fb8'-'#f2d16b' \
    -fill '#2f7d32' -draw 'ellipse 450,660 520,190 0,360' \
    -fill '#fff6c0' -draw 'circle 700,150 700,210' "$work/Strand.jpg"
convert -size 640x480 gradient:'#87ceeb'-'#ffffff' "$work/Himmel.jpg"
convert -size 320x240 xc:'#c0392b' "$work/Sonnenuntergang.bmp"
printf 'Packliste\n\n- Sonnencreme\n- Badehose\n- Buch\n' >"$work/Packliste.txt"
printf 'Zimmer 12, Frühstück ab 7 Uhr.\n' >"$work/Hotel.txt"
printf '# Reiseplan\n' >"$work/Reiseplan.md"

n=50
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$n" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$scratch/config" HOME="$scratch"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1
(cd "$work" && exec "$program") >/dev/null 2>&1 &
app=$!
frame=$(timeout 20 xdotool search --sync --onlyvisible --name '^File Talvence$' | head -1)
x=$(xwininfo -id "$frame" | awk '/Absolute upper-left X/{print $4}')
y=$(xwininfo -id "$frame" | awk '/Absolute upper-left Y/{print $4}')
click() { xdotool mousemove $((x + $1)) $((y + $2)) click 1; sleep 1; }
shot() {
    # the frame with its window manager's border
    import -window root -crop "$((525 + 2))x$((600 + 24))+$((x - 1))+$((y - 22))" +repage "$out/$1"
}

click 22 10                     # Start
shot rename-window.png
click 250 276                   # the sixth file: Strand.jpg
shot image-viewer.png
xdotool key ctrl+F4; sleep 1    # the image viewer closes
click 110 10                    # Hilfe
click 150 32                    # Dateinamen standardisieren
shot help-window.png
echo "written: $out/rename-window.png image-viewer.png help-window.png"
