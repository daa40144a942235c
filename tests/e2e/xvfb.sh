# Sourced by the scripts that run the viewer in a virtual X server.
# start_xvfb FIRST LAST LOG: starts Xvfb on the first free display from FIRST to LAST (either
# direction), exports DISPLAY, sets $xvfb to its process and waits until it answers. Returns 1
# when no display is free or the server does not start.
start_xvfb() {
    local n
    DISPLAY=""
    for n in $(seq "$1" "$([ "$1" -le "$2" ] && echo 1 || echo -1)" "$2"); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then DISPLAY=":$n"; break; fi
    done
    [ -n "$DISPLAY" ] || { echo "no free X display" >&2; return 1; }
    export DISPLAY
    Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >"$3" 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    echo "Xvfb did not start" >&2
    return 1
}
