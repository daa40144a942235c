#!/bin/bash
# Takes the README's screenshot again: the viewer on the bundled example in a virtual X server,
# a molecule picked, the "WorkSpace" dialog open on its "View" page beside the main window.
# Usage: scripts/screenshot.sh [BUILD_FOLDER] [OUT.png]   (defaults: build, docs/first-five-minutes.png)
set -eu
cd "$(dirname "$0")/.."
build="${1:-build}"
target="${2:-docs/first-five-minutes.png}"
tarsel="$build/app/tarsel"
[ -x "$tarsel" ] || { echo "no $tarsel: run 'make build' first" >&2; exit 1; }
work="$(mktemp -d)"

app=""
bus=""
trap 'kill $app $bus $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
xvfb=""
. "tests/e2e/xvfb.sh"
start_xvfb 161 220 "$work/xvfb.log" || exit 1

# The dialog is opened from the menu through the accessibility bus, as a screen reader would.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$work/bus.txt"
export DBUS_SESSION_BUS_ADDRESS="$(sed -n 1p "$work/bus.txt")"
bus="$(sed -n 2p "$work/bus.txt")"
a11y() { /usr/bin/python3 tests/e2e/a11y.py "$@"; }
a11y enable

"$tarsel" Examples/water.tsw >"$work/tarsel.log" 2>&1 &
app=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "water\$" | head -n 1)
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
# Pick the molecule of an oxygen atom near the middle of the view.
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/main.png"
point=$(convert "$work/main.png" txt:- | grep '#F00000' | sed -n '200p' | cut -d: -f1)
xdotool mousemove --window "$window" "${point%,*}" "${point#*,}" click 1
sleep 0.5
a11y press "Work Space"
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^WorkSpace\$" | head -n 1)
a11y press "View"
sleep 1

# Both windows on a plain ground, and nothing of the empty screen around them.
eval "$(xdotool getwindowgeometry --shell "$window")"
eval "$(xdotool getwindowgeometry --shell "$dialog" | sed 's/^/D/')"  # DX, DY, DWIDTH, DHEIGHT
left=$((X < DX ? X : DX))
top=$((Y < DY ? Y : DY))
right=$((X + WIDTH > DX + DWIDTH ? X + WIDTH : DX + DWIDTH))
bottom=$((Y + HEIGHT > DY + DHEIGHT ? Y + HEIGHT : DY + DHEIGHT))
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/main.png"
import -window root -crop "${DWIDTH}x${DHEIGHT}+${DX}+${DY}" +repage "$work/dialog.png"
mkdir -p "$(dirname "$target")"
# A palette of 64 colours keeps the file small; the picture has few colours anyway.
convert -size "$((right - left))x$((bottom - top))" xc:white \
    "$work/main.png" -geometry "+$((X - left))+$((Y - top))" -composite \
    "$work/dialog.png" -geometry "+$((DX - left))+$((DY - top))" -composite \
    -dither None -colors 64 "PNG8:$target"
echo "wrote $target ($(identify -format %wx%h "$target"), $(stat -c %s "$target") bytes)"
