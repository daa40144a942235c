#!/bin/bash
# "Save AVI" in the real viewer, worked through the accessibility bus as an assistive tool works
# it: tick the box (a toggle, not a click), Play, read the status bar, Play again over the open
# movie, untick and apply. The movie's frames then have the size of the view on the screen.
# Usage: recording.sh TARSEL EXAMPLE.tsw OUTPUT_FOLDER. Exit 77 when a tool is missing (skipped).
set -u
tarsel="$1"
example="$2"
out="$3"
here="$(cd "$(dirname "$0")" && pwd)"
for tool in Xvfb xdotool xdpyinfo dbus-daemon ffprobe; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c "from gi.repository import Gio" 2>/dev/null || {
    echo "SKIP: python3-gi is not installed"
    exit 77
}
[ -x /usr/libexec/at-spi-bus-launcher ] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
rm -rf "$out"
mkdir -p "$out/run"

fail() {
    echo "FAIL: $*"
    exit 1
}

app=""
bus=""
trap 'kill $app $bus $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
xvfb=""
. "$here/xvfb.sh"
start_xvfb 120 140 "$out/xvfb.log" || fail "no X server"

export XDG_RUNTIME_DIR="$out/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$out/bus.txt" ||
    fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS="$(sed -n 1p "$out/bus.txt")"
bus="$(sed -n 2p "$out/bus.txt")"
a11y() { /usr/bin/python3 "$here/a11y.py" "$@"; }
a11y enable || fail "no accessibility bus"

# A copy of the run: the movie is written beside the workspace.
cp "$example" "${example%.*}.xyz" "$out/run/"
run="$out/run/$(basename "$example")"
movie="${run%.*}.avi"
name="$(basename "$movie")"
"$tarsel" "$run" >"$out/tarsel.log" 2>&1 &
app=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^${run%.*}\$" | head -n 1)
[ -n "$window" ] || fail "no window titled ${run%.*} (log: $(cat "$out/tarsel.log"))"
sleep 1

# The status bar's label that matches, once it shows (within ten seconds).
shown() {
    local text
    for _ in $(seq 50); do
        text=$(a11y labels | grep -E "$1" | head -n 1)
        [ -n "$text" ] && { echo "$text"; return 0; }
        sleep 0.2
    done
    return 1
}

a11y press "Work Space" || fail "no menu item Work Space"
timeout 10 xdotool search --sync --onlyvisible --name '^WorkSpace$' >/dev/null ||
    fail "the dialog did not open"
a11y press "Save AVI" || fail "no check box Save AVI"
sleep 0.3
a11y press "Play" || fail "no button Play"
shown "^Recording $name\$" >/dev/null || fail "Play with Save AVI ticked does not record"
# The view as it is while recording (without the size grip).
read -r _ _ vw vh <<<"$(a11y extents filler)"
sleep 1
a11y press "Stop"
sleep 0.3
a11y press "Play"
replaced=$(shown "^Recording $name anew: [0-9]+ frames replaced\$") ||
    fail "a second Play over the open movie did not say so"
sleep 1
a11y press "Stop"
sleep 0.3
a11y press "Save AVI"
sleep 0.3
a11y press "OK"
shown '^Use: W,S,A,D,Q,E,Arrows$' >/dev/null || fail "the movie was not completed"

size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 \
    "$movie")
[ "$size" = "${vw}x${vh}" ] || fail "the movie is ${size:-unreadable}, the view ${vw}x${vh}"
frames=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of csv=p=0 "$movie")
[ "${frames:-0}" -gt 0 ] || fail "the movie has no frames"

kill -0 "$app" 2>/dev/null || fail "the viewer ended early"
echo "PASS: ticked Save AVI through the accessibility bus, recorded, '$replaced'," \
    "$frames frames of ${size} (in $out)"
