#!/usr/bin/env bash
# The PC program's command line as a user meets it: --help prints the mapping, and wrong options,
# a missing card folder or cartridge file, or no display end with one line that says what to do
# and exit status 2.
# Usage: launcher_test.sh PROGRAM CARD-FOLDER
set -uo pipefail
program="$1"
card="$2"
failures=0
out="$(mktemp)"
err="$(mktemp)"
config="$(mktemp -d)"
trap 'rm -rf "$out" "$err" "$config"' EXIT
# A settings file of its own.
export XDG_CONFIG_HOME="$config"

# expect STATUS PATTERN [ENV...] -- ARGS...: the run's status, and one line on the error
# stream matching PATTERN (nothing on it when PATTERN is empty).
expect() {
    local status="$1" pattern="$2"
    shift 2
    local envs=()
    while [ "$1" != "--" ]; do
        envs+=("$1")
        shift
    done
    shift
    env "${envs[@]}" "$program" "$@" > "$out" 2> "$err" < /dev/null
    local got=$?
    local lines
    lines=$(wc -l < "$err")
    if [ "$got" -ne "$status" ]; then
        echo "FAIL: velkoro $* exited $got, expected $status"
        cat "$err"
        failures=$((failures + 1))
    elif [ -n "$pattern" ] && { [ "$lines" -ne 1 ] || ! grep -q -- "$pattern" "$err"; }; then
        echo "FAIL: velkoro $*: expected one line matching \"$pattern\", got:"
        cat "$err"
        failures=$((failures + 1))
    else
        echo "ok: velkoro $* -> $got"
    fi
}

dummy=(SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy)
expect 0 "" "${dummy[@]}" -- --help
for line in "usage: velkoro \[CARTRIDGE.rom\] \[--sd DIR\] \[--bios FILE\] \[--config FILE\]" \
    "A, Z or Left Ctrl" "Y  *Y" "Escape  *pauses the game" "I, J, K, L" "U, O" "numeric keypad  *the second keypad" \
    "shoulders = L, R" "--fill" "--smooth"; do
    if ! grep -q -- "$line" "$out"; then
        echo "FAIL: --help does not mention \"$line\""
        failures=$((failures + 1))
    fi
done
expect 2 "unknown option --bogus" "${dummy[@]}" -- --bogus
expect 2 "there is no cartridge file \"card\"" "${dummy[@]}" -- card
expect 2 "\"$card\" is a folder: give a cartridge file, or a card folder with --sd DIR" "${dummy[@]}" -- "$card"
expect 2 "unknown option second.rom" "${dummy[@]}" -- "$card/roms/colecovision/pads.rom" second.rom
expect 2 "there is no BIOS file \"/nonexistent/bios.rom\"" "${dummy[@]}" -- --bios /nonexistent/bios.rom
expect 2 "\"/nonexistent/velkoro\" does not exist.*--sd DIR" "${dummy[@]}" -- --sd /nonexistent/velkoro
expect 2 "\"$card/roms/colecovision/pads.rom\" is a file, not a card folder" "${dummy[@]}" -- \
    --sd "$card/roms/colecovision/pads.rom"
expect 2 "option --sd needs a value" "${dummy[@]}" -- --sd
expect 2 "--scale needs a whole number from 1 to 16, got \"0\"" "${dummy[@]}" -- --sd "$card" --scale 0
expect 2 "got \"17\"" "${dummy[@]}" -- --scale 17
expect 2 "got \"2x\"" "${dummy[@]}" -- --scale 2x
# No display at all: the headless runner is the way.
expect 2 "no display.*headless runner" -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    SDL_AUDIODRIVER=dummy -- --sd "$card"

# None of them kept anything.
if [ -e "$config/velkoro" ]; then
    echo "FAIL: a run that ended on a wrong option wrote settings"
    failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
