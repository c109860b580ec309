# The virtual X display and window search that the window test and the processor-use benchmark
# share. Source it; each caller keeps its own clean-up of the processes.

# velkoro_start_xvfb FOLDER: starts Xvfb (1280 x 1024, 24 bits) on a free display number, with
# its number and log in FOLDER, and waits up to 10 s for it. Sets `xvfb` to its process id and
# exports DISPLAY; returns 1 when it did not start.
velkoro_start_xvfb() {
    local folder="$1"
    exec 3> "$folder/display.txt"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp > "$folder/xvfb.log" 2>&1 &
    xvfb=$!
    exec 3>&-
    for _ in $(seq 100); do
        [ -s "$folder/display.txt" ] && break
        sleep 0.1
    done
    [ -s "$folder/display.txt" ] || return 1
    export DISPLAY=":$(head -1 "$folder/display.txt")"
}

# velkoro_find_window PID: sets `window` to the visible window of Velkoro (its title is Velkoro, or
# Velkoro - CARTRIDGE while a game runs) of process PID
# (not one a closed earlier run may leave for a moment), waiting up to 10 s, and gives it the
# keyboard focus; returns 1 when none appeared.
velkoro_find_window() {
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --onlyvisible --pid "$1" --name '^Velkoro( - .*)?$' 2> /dev/null | head -1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || return 1
    timeout 5 xdotool windowfocus --sync "$window" 2> /dev/null || true
}
