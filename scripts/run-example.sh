#!/bin/sh
# Opens the viewer on the bundled example; without a display, does the same work headless.
set -e
build="${1:-build}"
example="Examples/water.tsw"
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    exec "$build/app/tarsel" "$example"
fi
echo "No display found (DISPLAY is not set): loading $example with tarsel-cli instead."
"$build/app/tarsel-cli" info "$example"
echo "The load log has $("$build/app/tarsel-cli" log "$example" | wc -l) lines ('tarsel-cli log $example' prints it)."
