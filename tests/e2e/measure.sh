#!/bin/bash
# Measuring and following in the real viewer in a real X server: Ctrl+click two atoms and read
# the distance in the status bar, see the dashed line, clear it with Esc (the picture of the
# load again), then follow a clicked molecule with F, by the key's name under a US layout and
# by its place under a Russian one. The status bar is read through the accessibility bus.
# Usage: measure.sh TARSEL EXAMPLE.tsw OUTPUT_FOLDER. Exit 77 when a tool is missing (skipped).
set -u
tarsel="$1"
example="$2"
out="$3"
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/session.sh"
need_tools Xvfb xdotool xdpyinfo setxkbmap import compare convert identify dbus-daemon
mkdir -p "$out"
rm -rf "$out/runtime" "$out/saved.png"

app=""
bus=""
xvfb=""
trap 'kill $app $bus $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
start_session 125 160
open_viewer "$tarsel" "$example"
# The first panel (the measurement) and the second (key help, or following).
measured() { a11y labels | grep -E '^(d=|angle=|dihedral=|picked )' | head -n 1; }
helpline() { a11y labels | grep -E '^(Use: |Follow Selection)' | head -n 1; }
ctrl_click() {
    xdotool mousemove --window "$window" "${1%,*}" "${1#*,}" keydown ctrl click 1 keyup ctrl
}

settled loaded
reds=$(convert "$out/loaded.png" txt:- | grep '#F00000' | cut -d: -f1)
first=$(sed -n '1p' <<<"$reds")
last=$(tail -n 1 <<<"$reds")
[ -n "$first" ] && [ "$first" != "$last" ] || fail "no two atoms to measure"

ctrl_click "$first"
settled one
[[ "$(measured)" =~ ^picked\ [0-9]+,[0-9]+$ ]] || fail "after one Ctrl+click: '$(measured)'"
ctrl_click "$last"
settled two
[[ "$(measured)" =~ ^d=[0-9]+\.[0-9]{3}\ (Å|A)$ ]] || fail "after two Ctrl+clicks: '$(measured)'"
convert "$out/two.png" txt:- | grep -q '#A000A0' || fail "no measuring line on the picture"
[ "$(a11y labels | grep -cE '^Mol=')" = "0" ] || fail "Ctrl+click selected a molecule"

xdotool key Escape
settled cleared
[ -z "$(measured)" ] || fail "Esc left '$(measured)'"
[ "$(differing loaded cleared)" = "0" ] || fail "after Esc the picture is not that of the load"

# A plain click selects; F follows it; under a Russian layout the key in F's place ends it.
xdotool mousemove --window "$window" "${first%,*}" "${first#*,}" click 1
sleep 0.5
xdotool key f
sleep 0.5
[ "$(helpline)" = "Follow Selection: on (F ends it)" ] || fail "after F: '$(helpline)'"
setxkbmap ru || fail "setxkbmap ru"
xdotool key 41
sleep 0.5
setxkbmap us
[ "$(helpline)" = "Use: W,S,A,D,Q,E,Arrows" ] || fail "after F's key under ru: '$(helpline)'"

kill -0 "$app" 2>/dev/null || fail "the viewer ended early"
echo "PASS: measured a distance with Ctrl+click, cleared it with Esc, followed with F" \
    "(screenshots in $out)"
