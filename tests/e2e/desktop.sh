#!/bin/bash
# The real viewer in a real X server, driven like a user: load the example from the command
# line, fly with the W key under a Russian layout, bring the camera back with Home, click an
# atom and read the status bar, step the selection with Page Down, save the picture from the
# menu. The status bar's texts are read through the accessibility bus, as a screen reader
# reads them.
# Usage: desktop.sh TARSEL EXAMPLE.tsw OUTPUT_FOLDER. Exit 77 when a tool is missing (skipped).
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
start_session 91 160
open_viewer "$tarsel" "$example"
# The molecule selection panel: the status bar label that names the selection.
selection() { a11y labels | grep -E '^(Mol=|PgUp/PgDn$)' | head -n 1; }

settled loaded
# The example is drawn: its oxygen atoms are red discs.
convert "$out/loaded.png" txt:- | grep -q '#F00000' || fail "no atom drawn after the load"
[ "$(selection)" = "PgUp/PgDn" ] || fail "the status bar shows '$(selection)', not PgUp/PgDn"

# Under a Russian layout, hold the key in W's place a moment (X keycode 25): the camera flies
# forward (and coasts) and the picture changes.
setxkbmap ru || fail "setxkbmap ru"
setxkbmap -query | grep -q '^layout: *ru$' || fail "the layout is not Russian"
xdotool keydown 25
sleep 0.3
xdotool keyup 25
settled flown
setxkbmap us
changed=$(differing loaded flown)
[ "${changed:-0}" -gt 2000 ] || fail "holding W under a Russian layout changed ${changed:-0} pixels"

# Home puts the camera back where the load placed it: the picture of the load again.
xdotool key Home
settled home
[ "$(differing loaded home)" = "0" ] || fail "Home did not bring back the picture of the load"

# Click on an oxygen atom: the status bar names the molecule and the atom ("Mol=M,A").
point=$(convert "$out/home.png" txt:- | grep '#F00000' | sed -n '200p' | cut -d: -f1)
[ -n "$point" ] || fail "no atom to click"
xdotool mousemove --window "$window" "${point%,*}" "${point#*,}" click 1
settled picked
picked=$(selection)
[[ "$picked" =~ ^Mol=([0-9]+),[0-9]+$ ]] || fail "after the click the status bar shows '$picked'"
molecule=${BASH_REMATCH[1]}
# Page Down selects the molecule before it.
xdotool key Page_Down
expected="Mol=$((molecule - 1))"
[ "$molecule" -gt 1 ] || expected="PgUp/PgDn"
settled stepped
[ "$(selection)" = "$expected" ] || fail "after $picked and Page Down: '$(selection)', not $expected"

# File > Save Picture... writes the shown view.
a11y press "Save Picture..." || fail "no menu item Save Picture..."
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "^Save Picture\$" | head -n 1)
[ -n "$dialog" ] || fail "no dialog Save Picture"
sleep 0.5
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
xdotool key ctrl+a
xdotool type --delay 20 "$out/saved.png"
xdotool key Return
for _ in $(seq 50); do [ -s "$out/saved.png" ] && break; sleep 0.2; done
[ -s "$out/saved.png" ] || fail "Save Picture wrote nothing"
sleep 0.5
read -r vx vy vw vh <<<"$(a11y extents filler)"
import -window root -crop "${vw}x${vh}+${vx}+${vy}" +repage "$out/view.png"
[ "$(identify -format %wx%h "$out/saved.png")" = "${vw}x${vh}" ] ||
    fail "the saved picture is $(identify -format %wx%h "$out/saved.png"), the view ${vw}x${vh}"
[ "$(differing saved view)" = "0" ] || fail "the saved picture is not the view"

kill -0 "$app" 2>/dev/null || fail "the viewer ended early"
echo "PASS: loaded, flew with W under a Russian layout, Home, picked $picked, Page Down," \
    "saved the picture (screenshots in $out)"
