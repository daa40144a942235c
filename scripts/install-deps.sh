#!/bin/sh
# Installs the Debian packages that building, running and testing need, if any is missing.
set -e

packages="cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev googletest libgtest-dev \
libgmock-dev libbenchmark-dev fonts-dejavu-core xvfb xauth xdotool x11-utils imagemagick \
locales openbabel ffmpeg x11-xkb-utils dbus at-spi2-core python3-gi python3-xlib \
libavcodec-dev libavformat-dev libswscale-dev libavutil-dev"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

# The locale tests read and write numbers under a German locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-*8$'; then
    echo "Generating the de_DE.UTF-8 locale"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
