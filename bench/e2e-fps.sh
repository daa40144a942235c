#!/bin/bash
# Frames per second that reach the window, and CPU per frame, of the real viewer in Xvfb on the
# largest run (500 molecules of 100 atoms), worked as a user works it: the dialog's controls
# through the accessibility bus, keys with xdotool.
#
# What is counted (by e2e-fps.py, over SECONDS after a second of warm-up):
#   frames  X DAMAGE rectangles on the window that cover its centre point, i.e. pictures of the
#           view the X server received (the status bar and menu repaint only their strips);
#   CPU     utime + stime of the viewer process (all its threads) from /proc/PID/stat.
# CPU per frame is CPU / frames of the main window. The cases:
#   30 ms timer   Play at the default timer, flat: the yardstick of the count (at most 33.3);
#   flat          Play with a 1 ms timer, camera outside the cube (the workspace's camera),
#                 names and bonds on (as the run comes);
#   ray tracing   the same with "Ray tracing" ticked;
#   world         the same, flat, with the world window open (its frames counted too);
#   W inside      a second viewer with the camera just inside the near face, names on,
#                 W held down, counted over 1.5 s (while the camera is still inside); the key
#                 motion steps on a 30 ms timer, so at most 33.3 frames/s here;
#   W smooth      the same in a third viewer with "Parameters" > "Smooth Motion" ticked: the
#                 same speed on a 15 ms timer, so at most 66.7 frames/s;
#   idle          nothing moving: the viewer's CPU over SECONDS (about 0 expected).
# A measurement script, not a test. Usage: bench/e2e-fps.sh [SECONDS] [BUILD_DIR]  (5, build)
# E2E_CASES=w measures only the two W cases (default: all); E2E_SMOOTH=0 leaves out "W smooth",
# E2E_SMOOTH=only leaves out "W inside".
set -u
cases=${E2E_CASES:-all}
smooth=${E2E_SMOOTH:-1}
seconds=${1:-5}
build=${2:-build}
bench="$(cd "$(dirname "$0")" && pwd)"
here="$bench/../tests/e2e"  # session.sh's a11y helper lives there
tarsel="$build/app/tarsel"
out="$(mktemp -d /tmp/e2e-fps.XXXXXX)"
. "$here/session.sh"
need_tools Xvfb xdotool xdpyinfo dbus-daemon
/usr/bin/python3 -c "from Xlib.ext import damage" 2>/dev/null ||
    { echo "SKIP: python3-xlib is not installed"; exit 77; }
[ -x "$tarsel" ] && [ -x "$build/tools/tarsel-gen" ] ||
    fail "build tarsel and tarsel-gen first (cmake --build $build --target tarsel tarsel-gen)"

app=""
bus=""
xvfb=""
trap 'kill $app $bus $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$out"' EXIT
start_session 170 199

# Enough frames that Play does not reach the end during the four Play cases, up to
# 120 frames/s (32 kB a frame in the temporary folder).
mkdir -p "$out/run"
frames=$(awk -v s="$seconds" 'BEGIN { print int(4 * (s + 2) * 120) }')
"$build/tools/tarsel-gen" largest "$out/run/largest" "$frames" || fail "tarsel-gen failed"
# The same run with the camera moved along its line of sight to just inside the near face
# (the cube is centred on the origin): W then flies through the middle.
awk 'inside { split($0, v, ","); printf "%.10f,%.10f,%.10f\n", v[1] * 0.218, v[2] * 0.218,
    v[3] * 0.218; inside = 0; next } /^Camera:/ { inside = 1 } { print }' \
    "$out/run/largest.tsw" >"$out/run/inside.tsw"
ln -s largest.xyz "$out/run/inside.xyz"

measure() {  # measure SECONDS LABEL WINDOW...: one line of figures
    local span="$1" label="$2" figures elapsed cpu frames world
    shift 2
    figures=$(/usr/bin/python3 "$bench/e2e-fps.py" count "$span" "$app" "$@") ||
        fail "counting failed"
    read -r elapsed cpu frames world <<<"$figures"
    awk -v l="$label" -v t="$elapsed" -v c="$cpu" -v f="$frames" -v w="${world:-}" 'BEGIN {
        printf "%-12s %7.1f frames/s  %6.1f ms CPU/frame  %5.0f %% of a core", l, f / t,
            (f > 0 ? 1000 * c / f : 0), 100 * c / t
        if (w != "") printf "  (world window %.1f frames/s)", w / t
        printf "\n" }'
}

dialog() {  # opens "Work Space" and waits for it
    a11y press "Work Space" || fail "no menu item Work Space"
    dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^WorkSpace$' | head -n 1)
    [ -n "$dialog" ] || fail "the dialog did not open"
    sleep 0.3
}

play() {  # play LABEL WINDOW...: Play, a second of warm-up, measure, Stop
    a11y press "Play" || fail "no button Play"
    sleep 1
    measure "$seconds" "$@"
    a11y press "Stop"
    sleep 0.5
}

echo "e2e-fps: viewer $tarsel, $seconds s per case; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$cases" != w ]; then
open_viewer "$tarsel" "$out/run/largest.tsw"
main=$window
echo "main window ${WIDTH}x$HEIGHT"
dialog
# The count's yardstick: the default 30 ms timer lets at most 33.3 pictures a second through.
play "30 ms timer" "$main"
# The frame timer's box (on the "View" page) shows its default, 30: typed into, as a user does.
a11y press "View" || fail "no page View"
sleep 0.3
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
/usr/bin/python3 "$bench/e2e-fps.py" focus-edit 30 || fail "no frame timer box"
xdotool key ctrl+a && xdotool type 1
sleep 0.3
# The largest run shows names and bonds.
/usr/bin/python3 "$bench/e2e-fps.py" checked "Atom name" || fail "Atom name is not ticked"
play "flat" "$main"
a11y press "Ray tracing" || fail "no check box Ray tracing"
sleep 0.3
play "ray tracing" "$main"
a11y press "Ray tracing"
sleep 0.3
a11y press "World" || fail "no menu item World"
world=$(timeout 10 xdotool search --sync --onlyvisible --name '^WorldForm$' | head -n 1)
[ -n "$world" ] || fail "the world window did not open"
eval "$(xdotool getwindowgeometry --shell "$world")"
echo "world window ${WIDTH}x$HEIGHT"
sleep 0.5
play "world" "$main" "$world"
sleep 1
measure "$seconds" "idle" "$main" "$world"
kill "$app" 2>/dev/null
wait "$app" 2>/dev/null
fi

fly() {  # fly LABEL [MENU ITEM]: a fresh viewer inside the cube, the item pressed, W held
    open_viewer "$tarsel" "$out/run/inside.tsw"
    main=$window
    if [ $# -gt 1 ]; then
        a11y press "$2" || fail "no menu item $2"
    fi
    sleep 0.5
    xdotool windowfocus --sync "$main" 2>/dev/null || true
    xdotool keydown --window "$main" w
    sleep 0.3
    # At full speed W crosses the cube in about two seconds: 1.5 s of them are counted.
    measure 1.5 "$1" "$main"
    xdotool keyup --window "$main" w
    kill -0 "$app" 2>/dev/null || fail "the viewer ended early (log: $(cat "$out/tarsel.log"))"
    kill "$app" 2>/dev/null
    wait "$app" 2>/dev/null
}
[ "$smooth" = only ] || fly "W inside"
[ "$smooth" = 0 ] || fly "W smooth" "Smooth Motion"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
