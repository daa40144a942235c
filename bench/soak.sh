#!/bin/sh
# Soak run: the viewer's own handlers driven headless on the largest workspace for a while
# (fly in and out of the cube, play both ways, change modes, resize), printing the resident
# size every 5 seconds.
#   bench/soak.sh [SECONDS] [BUILD_DIR]      (defaults: 3600 and build)
set -eu
seconds=${1:-3600}
build=${2:-build}
exec "$build/bench/tarsel-soak" "$seconds"
