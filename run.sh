#!/usr/bin/env bash
# Builds Velkoro and starts it in a window, on the card folder given as the first argument (a
# folder standing for the SD card, with roms/colecovision/ in it), or with the cartridge file given
# as the first argument started at once; without either, on the card folder of the settings file
# or the bundled card. Further arguments are the program's options (see README.md).
#
# The headless runner runs instead when there is no display (ten seconds of the card, the last
# screen written to velkoro-screen.png), when the first argument is --headless, or when an option
# of the headless runner is given (--buttons, --ms, --screenshot, ...).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}"

headless=""
if [ "${1:-}" = "--headless" ]; then
    headless=1
    shift
fi
card=""
cartridge=""
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
    if [ -f "$1" ]; then
        cartridge="$1"
    else
        card="$1"
    fi
    shift
fi
for arg in "$@"; do
    case "$arg" in
    --card | --buttons | --script | --ms | --frames | --screenshot | --wav | --real-clock) headless=1 ;;
    esac
done
if [ -z "$headless" ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "run.sh: no display here, so the headless runner plays instead (ten seconds, last screen in velkoro-screen.png)"
    headless=1
    set --
fi

build="$here/build/run"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELKORO_BACKEND=sdl > /dev/null
if [ -z "$headless" ]; then
    cmake --build "$build" --target velkoro
    exec "$build/velkoro" ${cartridge:+"$cartridge"} ${card:+--sd "$card"} "$@"
fi
if [ -n "$cartridge" ]; then
    echo "run.sh: the headless runner plays a card folder, not a cartridge file ($cartridge)" >&2
    exit 2
fi

cmake --build "$build" --target velkoro-headless
if [ $# -eq 0 ]; then
    # By default: B past the welcome screen, B to start the first cartridge, ten seconds of play,
    # and the last screen kept as a picture.
    set -- --buttons "B:300-400,B:800-900" --ms 10000 --screenshot "$here/velkoro-screen.png"
fi
exec "$build/velkoro-headless" --card "${card:-$build/card}" "$@"
