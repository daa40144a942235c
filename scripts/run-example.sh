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
"$build/app/tarsel-cli" render "$example" -o "$build/water.png" 2>/dev/null
"$build/app/tarsel-cli" render "$example" --frame 120 -o "$build/water-120.png" 2>/dev/null
echo "The window's picture after the load: $build/water.png; at frame 120: $build/water-120.png"
echo "The load log: '$build/app/tarsel-cli log $example'."
