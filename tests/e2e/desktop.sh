#!/bin/bash
# The real viewer in a real X server, driven like a user: load the example from the command
# line, hold W, click an atom, and check the window's picture after each step.
# Usage: desktop.sh TARSEL EXAMPLE.tsw OUTPUT_FOLDER. Exit 77 when a tool is missing (skipped).
set -u
tarsel="$1"
example="$2"
out="$3"
for tool in Xvfb xdotool import compare convert; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$out"

fail() {
    echo "FAIL: $*"
    exit 1
}

# A display number nobody uses.
display=""
for n in $(seq 91 160); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free X display"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
app=""
trap 'kill $app $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || fail "Xvfb did not start"

"$tarsel" "$example" >"$out/tarsel.log" 2>&1 &
app=$!
base="${example%.*}"
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$base\$" | head -n 1)
[ -n "$window" ] || fail "no window titled $base (log: $(cat "$out/tarsel.log"))"
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT

shot() { import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1.png"; }
differing() { compare -metric AE "$out/$1.png" "$out/$2.png" null: 2>&1 | cut -d' ' -f1; }
# Takes the picture once it has stopped changing (coasting, a slow machine).
settled() {
    shot "$1"
    for _ in $(seq 30); do
        sleep 0.3
        shot "$1-again"
        [ "$(differing "$1" "$1-again")" = "0" ] && return 0
        mv "$out/$1-again.png" "$out/$1.png"
    done
    fail "the picture did not settle"
}
strip() { convert "$out/$1.png" -gravity South -crop "x18+0+0" +repage "$out/$1-status.png"; }

settled loaded
# The example is drawn: its oxygen atoms are red discs.
convert "$out/loaded.png" txt:- | grep -q '#F00000' || fail "no atom drawn after the load"

# Hold W a moment: the camera flies forward (and coasts) and the picture changes.
xdotool keydown w
sleep 0.3
xdotool keyup w
settled flown
changed=$(differing loaded flown)
[ "${changed:-0}" -gt 2000 ] || fail "holding W changed only ${changed:-0} pixels"

# Click on an oxygen atom: a molecule is selected and the status bar names it ("Mol=M,A").
point=$(convert "$out/flown.png" txt:- | grep '#F00000' | sed -n '200p' | cut -d: -f1)
[ -n "$point" ] || fail "no atom to click"
xdotool mousemove --window "$window" "${point%,*}" "${point#*,}" click 1
settled picked
strip flown
strip picked
status=$(differing flown-status picked-status)
[ "${status:-0}" -gt 20 ] || fail "the status bar did not change after the click"

kill -0 "$app" 2>/dev/null || fail "the viewer ended early"
echo "PASS: loaded, flew with W, picked an atom (screenshots in $out)"
