#!/usr/bin/env bash
# Remakes the README's pictures in docs/: the headless runner plays the bundled card (our boot
# ROM and demo cartridges) with scripted buttons and keeps the last screen of each run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}"

build="$here/build/docs"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build "$build" --target velkoro-headless
mkdir -p "$here/docs"

# shot NAME MILLISECONDS BUTTONS: the screen after that much clock time.
shot() {
    "$build/velkoro-headless" --card "$build/card" --ms "$2" --buttons "$3" --screenshot "$here/docs/$1.png"
}

# B past the welcome screen, DOWN to the cartridge in the manager, B to start it; the boot ROM's
# title shows for three seconds before the cartridge's own program.
first="B:300-400, B:800-900"
second="B:300-400, DOWN:500-550, B:800-900"
third="B:300-400, DOWN:500-550, DOWN:600-650, B:800-900"

shot welcome 200 ""
shot manager 700 "B:300-400"
shot title 2500 "$first"
shot bouncing_balls 5500 "$first"
shot controller_test 7800 "$second, RIGHT:7000-7800, UP:7000-7200, A:7400-7800, KEY3:7400-7800,
    P2LEFT:7200-7800, P2B:7500-7800, P2KEYSTAR:7500-7800"
shot graphics_picture 6500 "$third"
shot graphics_colours 7000 "$third, L:6500-6600"
