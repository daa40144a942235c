#!/bin/bash
# The world window of the real viewer in a real X server: load the example from the command
# line, open "Parameters" > "World" with the mouse and the menu's keys, and check that the
# window shows the picture tarsel-cli draws, turns with an arrow key and follows the camera.
# Usage: world.sh TARSEL TARSEL_CLI EXAMPLE.tsw OUTPUT_FOLDER. Exit 77 when a tool is missing.
set -u
tarsel="$1"
cli="$2"
example="$3"
out="$4"
for tool in Xvfb xdotool xdpyinfo import compare convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$out"

fail() {
    echo "FAIL: $*"
    exit 1
}

app=""
trap 'kill $app $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
xvfb=""
. "$(dirname "$0")/xvfb.sh"
# From the other end of the displays than the desktop test, so both can run at once.
start_xvfb 160 91 "$out/xvfb.log" || fail "no X server"

"$tarsel" "$example" >"$out/tarsel.log" 2>&1 &
app=$!
base="${example%.*}"
main=$(timeout 20 xdotool search --sync --onlyvisible --name "^$base\$" | head -n 1)
[ -n "$main" ] || fail "no window titled $base (log: $(cat "$out/tarsel.log"))"
sleep 1

shot() {  # shot WINDOW NAME
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$2.png"
}
differing() { compare -metric AE "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1; }
settled() {  # settled WINDOW NAME: the picture once it has stopped changing
    shot "$1" "$2"
    for _ in $(seq 30); do
        sleep 0.3
        shot "$1" "$2-again"
        [ "$(differing "$2" "$2-again")" = "0" ] && return 0
        mv "$out/$2-again.png" "$out/$2.png"
    done
    fail "the picture of $2 did not settle"
}

# The menu bar's titles are the dark columns of its top rows; "Parameters" is the second run.
shot "$main" main
eval "$(xdotool getwindowgeometry --shell "$main")"
columns=$(convert "$out/main.png" -crop "${WIDTH}x12+0+3" +repage -threshold 50% -negate \
    -scale "${WIDTH}x1!" -threshold 1% txt:- | grep -v '^#' | grep -i 'white\|#FFFFFF' |
    cut -d, -f1)
parameters=$(echo "$columns" | awk 'NR > 1 && $1 > prev + 6 { run++ } run == 1 { print $1 }
    { prev = $1 }' | awk '{ s += $1; n++ } END { if (n) print int(s / n) }')
[ -n "$parameters" ] || fail "no menu title found in the menu bar"
xdotool mousemove --window "$main" "$parameters" 10 click 1
sleep 0.5
# "Work Space", then "World".
xdotool key Down Down Return
world=$(timeout 10 xdotool search --sync --onlyvisible --name '^WorldForm$' | head -n 1)
[ -n "$world" ] || fail "the world window did not open"

# It opens beside the main window where the screen has room, not over its menu.
eval "$(xdotool getwindowgeometry --shell "$world")"
wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
eval "$(xdotool getwindowgeometry --shell "$main")"
if [ "$wx" -lt $((X + WIDTH)) ] && [ $((wx + ww)) -gt "$X" ] && [ "$wy" -lt $((Y + HEIGHT)) ] &&
    [ $((wy + wh)) -gt "$Y" ]; then
    fail "the world window (${ww}x$wh+$wx+$wy) covers the main window (${WIDTH}x$HEIGHT+$X+$Y)"
fi

settled "$world" world
eval "$(xdotool getwindowgeometry --shell "$world")"
for colour in '#FFFF00' '#00FFFF' '#0000FF' '#808080'; do
    convert "$out/world.png" txt:- | grep -q "$colour" || fail "no $colour in the world window"
done

# The command line draws the same picture at the window's size.
"$cli" world "$example" --size "${WIDTH}x${HEIGHT}" -o "$out/cli.png" 2>>"$out/tarsel.log" ||
    fail "tarsel-cli world failed"
[ "$(differing world cli)" = "0" ] || fail "the window and tarsel-cli world differ"

# An arrow key turns the picture.
xdotool windowfocus --sync "$world" 2>/dev/null || true
xdotool key --window "$world" Right
settled "$world" turned
[ "$(differing world turned)" != "0" ] || fail "Right did not turn the world view"

# Flying the camera moves it in the world view too.
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool keydown w
sleep 0.3
xdotool keyup w
settled "$world" flown
[ "$(differing turned flown)" != "0" ] || fail "the world view did not follow the camera"

kill -0 "$app" 2>/dev/null || fail "the viewer ended early"
echo "PASS: opened the world window from the menu beside the main window, turned it, followed the camera (in $out)"
