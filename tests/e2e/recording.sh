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
. "$here/session.sh"
need_tools Xvfb xdotool xdpyinfo dbus-daemon ffprobe
rm -rf "$out"
mkdir -p "$out/run"

app=""
bus=""
xvfb=""
trap 'kill $app $bus $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
start_session 120 140

# A copy of the run: the movie is written beside the workspace.
cp "$example" "${example%.*}.xyz" "$out/run/"
run="$out/run/$(basename "$example")"
movie="${run%.*}.avi"
name="$(basename "$movie")"
open_viewer "$tarsel" "$run"

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
