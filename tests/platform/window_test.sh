#!/usr/bin/env bash
# The PC program in a real window on a virtual X display: synthetic key presses drive it, and
# each screenshot of the window must equal the headless back end's screen for the same input,
# scaled as the window shows it: the front end's whole screen, a game's picture centred at a
# whole multiple of its size.
# (Fullscreen needs a window manager, which this display has not: the dummy-driver tests cover
# F11 and Alt+Enter.)
# Usage: window_test.sh PROGRAM HEADLESS-RUNNER CLOSE-HELPER CARD WORK-FOLDER
set -euo pipefail
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"
program="$1"
headless="$2"
close_window="$3"
card="$4"
work="$5"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

step() { echo "--- $*"; }
fail() {
    echo "FAIL: $*"
    exit 1
}

# A virtual display of its own, on a free number.
source "$scripts/xdisplay.sh"
xvfb=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill -KILL "$program_pid" 2> /dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2> /dev/null || true
}
trap cleanup EXIT
velkoro_start_xvfb . || fail "Xvfb did not start: $(cat xvfb.log)"
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
# A settings file of its own, which starts empty.
export XDG_CONFIG_HOME="$work/config"

# In a sanitizer build: the display libraries (D-Bus, the GL driver) keep some memory to the end
# of the process; leaks of the program's own are checked by the tests on the headless back end.
export LSAN_OPTIONS="detect_leaks=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The headless back end's screens for the same input (virtual clock: B past the welcome screen
# at 300 ms, B on the cartridge at 800 ms; the boot ROM's title screen shows for 3 s, so the
# cartridge's own screen is up from about 4000 ms).
reference() {
    local name="$1" ms="$2" buttons="$3"
    "$headless" --card "$card" --ms "$ms" --buttons "$buttons" --screenshot "ref_$name.png" > /dev/null
}
start="B:300-400,B:800-900"
reference welcome 200 ""
reference manager 600 "B:300-400"
reference game_idle 5000 "$start"
reference game_first 5000 "$start,RIGHT+A+KEY5+P2UP+P2A:4200-5000"
reference game_second 5000 "$start,KEYSTAR+P2LEFT+P2B:4200-5000"
reference game_numpad 5000 "$start,P2KEY7:4200-5000"
# Each input must show on the cartridge's screen, or the checks below would prove nothing.
for name in first second numpad; do
    [ "$(compare -metric AE "ref_game_$name.png" ref_game_idle.png null: 2>&1 || true)" != "0" ] ||
        fail "the reference for game_$name shows no input"
done

launch() {
    local attempt log
    for attempt in 1 2 3; do
        log="program_$launches.log"
        "$program" --sd "$card" --scale 2 "$@" > "$log" 2>&1 &
        program_pid=$!
        launches=$((launches + 1))
        velkoro_find_window "$program_pid" && return 0
        # A display server too busy to take a new client (a loaded build machine) makes the
        # program give up at once, saying so: that is the machine, not the program, so again.
        grep -q "no display to open a window on" "$log" || break
        wait "$program_pid" 2> /dev/null || true
        program_pid=""
        sleep 1
    done
    fail "no window named Velkoro appeared"
}
launches=0

shot() { timeout 10 import -window "$window" "$1"; }

geometry() { xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'; }

# Waits until the window equals the expected picture (colours within 1 %: the window may round
# the RGB565 colours a step differently from the PNG writer).
expect_window() {
    local what="$1" expected="$2" diff="none"
    for _ in $(seq 50); do
        shot got.png || true
        diff=$(compare -metric AE -fuzz 1% got.png "$expected" null: 2>&1 || true)
        [ "$diff" = "0" ] && {
            echo "ok: $what"
            return 0
        }
        sleep 0.1
    done
    cp got.png "failed_$what.png"
    fail "$what: $diff pixels differ from $expected (window kept as failed_$what.png)"
}

# The front end: the whole 320 x 240 screen, twice as large.
expect_front_end() { convert "ref_$2.png" -scale 200% "exp_$1.png" && expect_window "$1" "exp_$1.png"; }

# A game at a whole scale: the 272 x 208 picture area, enlarged as many times (and, given a
# window size and a place, on black bars around it).
expect_game_scaled() {
    convert "ref_$2.png" -crop 272x208+0+0 +repage -scale "$3" "exp_$1.png"
    [ -n "${4:-}" ] && convert -size "$4" xc:black "exp_$1.png" -geometry "$5" -composite "exp_$1.png"
    expect_window "$1" "exp_$1.png"
}

# Waits up to 5 s for the program to end; its exit status in $status, empty while it still runs.
wait_for_exit() {
    status=""
    for _ in $(seq 50); do
        kill -0 "$program_pid" 2> /dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2> /dev/null && return 0
    status=0
    wait "$program_pid" || status=$?
    program_pid=""
}

tap() {
    xdotool keydown "$@"
    sleep 0.15
    xdotool keyup "$@"
}

step "start-up, the front end"
launch
[ "$(geometry)" = "640x480" ] || fail "window is $(geometry), expected 640x480 (--scale 2)"
expect_front_end welcome welcome
tap x
expect_front_end manager manager

step "a game at a whole multiple, centred; its name in the title"
tap b
# In 640 x 480 the 272 x 208 picture is twice as large (2.3 times would make its pixels 2 and 3
# screen pixels wide by turns), with black bars of 48 and 32 pixels.
expect_game_scaled game_idle game_idle 200% 640x480 +48+32
name=$(xdotool getwindowname "$window")
[ "$name" = "Velkoro - pads.rom" ] || fail "the window's title is \"$name\" in the game"
echo "ok: the title names the cartridge"
# Resized to 544 x 416 the picture fills it.
xdotool windowsize --sync "$window" 544 416
expect_game_scaled game_resized game_idle 200%

step "both controllers from the keyboard"
xdotool keydown Right z 5 i u
expect_game_scaled first_player_and_second game_first 200%
xdotool keyup Right z 5 i u
expect_game_scaled released game_idle 200%
xdotool keydown minus j o
expect_game_scaled keypad_star_second_left game_second 200%
xdotool keyup minus j o
xdotool keydown KP_7
expect_game_scaled numeric_keypad_both game_numpad 200%
xdotool keyup KP_7
expect_game_scaled released_again game_idle 200%

step "Escape pauses, a second Escape leaves the game, Y leaves the program"
xdotool windowsize --sync "$window" 640 480
tap Escape
# The pause says so over the picture, which otherwise stands as it was.
ok=""
for _ in $(seq 50); do
    shot got.png || true
    if [ "$(compare -metric AE -fuzz 1% got.png exp_game_idle.png null: 2>&1 || true)" != "0" ]; then
        ok=1
        break
    fi
    sleep 0.1
done
[ -n "$ok" ] || fail "Escape did not show the pause"
echo "ok: Escape pauses"
tap Escape
expect_front_end manager_again manager
tap y
wait_for_exit
[ "$status" = 0 ] || fail "Y in the cartridge manager: exit status $status"
echo "ok: Y ends the program with status 0"

step "a cartridge file on the command line starts at once; a bad one says why"
launch "$card/roms/colecovision/pads.rom"
expect_game_scaled game_opened game_idle 200% 640x480 +48+32
tap BackSpace
# The manager then lists the cartridge's folder: the reference's but for the folder's name under
# the title, which is where the folder lies on this machine.
convert ref_manager.png -scale 200% -fill black -draw "rectangle 0,36 639,62" exp_manager_after_opened.png
ok=""
for _ in $(seq 50); do
    shot got.png || true
    convert got.png -fill black -draw "rectangle 0,36 639,62" got_masked.png
    [ "$(compare -metric AE -fuzz 1% got_masked.png exp_manager_after_opened.png null: 2>&1 || true)" = "0" ] && {
        ok=1
        break
    }
    sleep 0.1
done
[ -n "$ok" ] || fail "SELECT after a cartridge opened directly did not lead to the manager on its folder"
echo "ok: manager on the opened cartridge's folder"
tap y
wait_for_exit
head -c 100 /dev/zero > short.rom
launch "$PWD/short.rom"
ok=""
for _ in $(seq 50); do
    shot got.png || true
    top=$(convert got.png -crop 640x40+0+0 -format '%[fx:maxima]' info:)
    rest=$(convert got.png -crop 640x440+0+40 -format '%[fx:maxima]' info:)
    if [ "$top" = "1" ] && [ "$rest" = "0" ]; then
        ok=1
        break
    fi
    sleep 0.1
done
[ -n "$ok" ] || {
    cp got.png failed_load_message.png
    fail "no reason shown for a cartridge that cannot load (failed_load_message.png)"
}
echo "ok: a failed load shows its reason"
kill "$program_pid"
wait "$program_pid" 2> /dev/null || true
program_pid=""

step "a scale too large for the desktop, closing the window"
launch --scale 16
[ "$(geometry)" = "1280x960" ] || fail "--scale 16 gave a window of $(geometry), expected 1280x960 on 1280x1024"
convert ref_welcome.png -scale 400% exp_welcome_large.png
expect_window welcome_large exp_welcome_large.png
"$close_window" "$window"
wait_for_exit
[ -n "$status" ] || fail "the program is still running after its window was closed"
[ "$status" = 0 ] || fail "closing the window: exit status $status"
echo "ok: closing the window ends the program with status 0"
step "losing the display"
# The X server goes away under a running program (a closed remote session, say): the program
# ends at once instead of waiting for the display for ever.
launch
expect_front_end welcome_lost welcome
kill "$xvfb"
wait "$xvfb" 2> /dev/null || true
xvfb=""
wait_for_exit
[ -n "$status" ] || fail "the program is still running 5 s after its display went away"
echo "ok: a lost display ends the program"
echo "all window checks passed"
