# Sourced by the scripts that drive the real viewer in a virtual X server, after they set $out
# (their output folder) and $here (this folder).

fail() {
    echo "FAIL: $*"
    exit 1
}

# need_tools TOOL...: skips the script (exit 77) when a tool, or the accessibility bus that
# reads the status bar, is missing.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    /usr/bin/python3 -c "from gi.repository import Gio" 2>/dev/null || {
        echo "SKIP: python3-gi is not installed"
        exit 77
    }
    [ -x /usr/libexec/at-spi-bus-launcher ] || {
        echo "SKIP: at-spi2-core is not installed"
        exit 77
    }
}

a11y() { /usr/bin/python3 "$here/a11y.py" "$@"; }

# start_session FIRST LAST: Xvfb on a free display between FIRST and LAST, then a session bus
# of our own with the accessibility bus on it, its socket in $out/runtime. Sets $xvfb and $bus;
# the caller's trap ends them.
start_session() {
    . "$here/xvfb.sh"
    start_xvfb "$1" "$2" "$out/xvfb.log" || fail "no X server"
    export XDG_RUNTIME_DIR="$out/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$out/bus.txt" ||
        fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS="$(sed -n 1p "$out/bus.txt")"
    bus="$(sed -n 2p "$out/bus.txt")"
    a11y enable || fail "no accessibility bus"
}

# open_viewer TARSEL WORKSPACE: starts the viewer on the workspace and waits for its window,
# titled after the workspace. Sets $app and $window, focuses it and reads its place and size
# (X, Y, WIDTH, HEIGHT).
open_viewer() {
    "$1" "$2" >"$out/tarsel.log" 2>&1 &
    app=$!
    local base="${2%.*}"
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$base\$" | head -n 1)
    [ -n "$window" ] || fail "no window titled $base (log: $(cat "$out/tarsel.log"))"
    sleep 1
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    eval "$(xdotool getwindowgeometry --shell "$window")"
}

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
