#!/usr/bin/env bash
# Builds Velkoro and runs it on the headless back end: on the card folder given as the first
# argument (a folder standing for the SD card, with roms/colecovision/ in it), or on the bundled
# card when none is given. Further arguments go to the runner (see README.md).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}"

build="$here/build/run"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build "$build" --target velkoro-headless velkoro_boot_rom velkoro_demo_rom

card="$build/card"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    card="$1"
    shift
fi
if [ $# -eq 0 ]; then
    # By default: B past the welcome screen, B to start the first cartridge, ten seconds of play,
    # and the last screen kept as a picture.
    set -- --buttons "B:300-400,B:800-900" --ms 10000 --screenshot "$here/velkoro-screen.png"
fi
exec "$build/velkoro-headless" --card "$card" "$@"
