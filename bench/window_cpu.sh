#!/usr/bin/env bash
# How much of one core the PC program takes: in a window on a virtual X display (Xvfb), idle in
# the cartridge manager for SECONDS, then playing the first cartridge of the card for SECONDS.
# The figure is the process's own processor time (user + system, from /proc/PID/stat) over the
# wall time of each interval. A benchmark, not a test: it prints the figures and does not judge.
#
# Usage: bench/window_cpu.sh [CARD-FOLDER] [SECONDS]   (the bundled card and 5 s by default)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" xvfb xdotool

build="$here/build/run"
card="${1:-$build/card}"
seconds="${2:-5}"
case "$seconds" in '' | *[!0-9]* | 0) echo "usage: $0 [CARD-FOLDER] [SECONDS]" >&2; exit 2 ;; esac
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVELKORO_BACKEND=sdl > /dev/null
cmake --build "$build" --target velkoro > /dev/null

work="$(mktemp -d)"
program_pid=""
xvfb=""
cleanup() {
    [ -n "$program_pid" ] && kill -KILL "$program_pid" 2> /dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

source "$here/scripts/xdisplay.sh"
velkoro_start_xvfb "$work" || { echo "$0: Xvfb did not start" >&2; exit 1; }
# No sound device on a build machine; where there is one, SDL_AUDIODRIVER may name it.
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"

# A settings file of its own, so that the user's is neither read nor changed.
XDG_CONFIG_HOME="$work/config" "$build/velkoro" --sd "$card" > "$work/program.log" 2>&1 &
program_pid=$!
velkoro_find_window "$program_pid" || { echo "$0: no window appeared" >&2; exit 1; }

tap() {
    xdotool keydown "$1"
    sleep 0.15
    xdotool keyup "$1"
}

# Processor time of the program so far, in clock ticks (fields 14 and 15 of its stat line; its
# name in field 2 holds no spaces).
ticks() { awk '{ print $14 + $15 }' "/proc/$program_pid/stat"; }
hz=$(getconf CLK_TCK)

# share LABEL: the share of one core the program takes over the next $seconds seconds.
share() {
    local t0 w0 t1 w1
    t0=$(ticks)
    w0=$(date +%s.%N)
    sleep "$seconds"
    t1=$(ticks)
    w1=$(date +%s.%N)
    awk -v t="$((t1 - t0))" -v hz="$hz" -v w0="$w0" -v w1="$w1" -v label="$1" \
        'BEGIN { printf "  %-32s %5.1f %% of one core\n", label, 100 * t / hz / (w1 - w0) }'
}

geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
echo "Processor use of the PC program in a $geometry window, over $seconds s each:"
sleep 1
tap x # past the welcome screen
sleep 1
share "idle in the cartridge manager"
tap b # the first cartridge
sleep 1
share "playing the first cartridge"
