#!/usr/bin/env bash
# The headless runner's state options as a script uses them: a run of N + M frames, and a run of
# N frames that saves its state followed by a run of M frames from that state, end with the same
# screenshot, the same last M frames of sound and the same state. A state of another cartridge is
# refused with its reason and a failing exit status, and a run whose --frames never start a game
# ends with a message.
# Usage: runner_state_test.sh RUNNER WORK-FOLDER
set -euo pipefail
runner="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

# The controller and sound test (second in the manager), with a tone, a note and the noise held
# across the moment of the save.
buttons="B:300-400, DOWN:600-700, B:1000-1100, A+RIGHT:4700-5300, KEY5:5200-5600, KEYSTAR:5500-5800"
$runner --buttons "$buttons" --frames 330 --screenshot whole.png --wav whole.wav --save-state whole.state
$runner --buttons "$buttons" --frames 240 --save-state first.state
$runner --buttons "$buttons" --frames 90 --load-state first.state --screenshot second.png --wav second.wav \
    --save-state second.state

cmp whole.png second.png
cmp whole.state second.state
# The second run's sound is the part after the load; the whole run's last part must equal it.
bytes=$(($(stat -c %s second.wav) - 44))
[ "$bytes" -gt $((80 * 735 * 4)) ] || { echo "the second run recorded only $bytes bytes of sound"; exit 1; }
cmp <(tail -c "$bytes" whole.wav) <(tail -c "$bytes" second.wav)
# Not silence: the held controls sound during the compared part.
[ "$(tail -c "$bytes" second.wav | od -An -v -tx1 | tr -s ' \n' '\n' | sort -u | wc -l)" -gt 16 ] ||
    { echo "the compared sound is silent"; exit 1; }

# The same state in the first cartridge: refused, the game plays on from its start.
set +e
$runner --buttons "B:300-400, B:1000-1100" --frames 20 --load-state first.state > other.out 2>&1
status=$?
set -e
[ "$status" -eq 1 ] || { echo "a refused state ended with status $status"; exit 1; }
grep -q "not loaded: State is from another cartridge" other.out || { cat other.out; exit 1; }
grep -q ", 20 frames" other.out || { cat other.out; exit 1; }

# No game ever starts: the run ends once it has spent its frames' time (at least a second)
# outside a game, instead of waiting on the welcome screen for ever.
set +e
$runner --frames 120 > idle.out 2>&1
status=$?
set -e
[ "$status" -eq 1 ] || { echo "an idle run ended with status $status"; exit 1; }
grep -q "no game ran in 2000 ms of clock time" idle.out || { cat idle.out; exit 1; }
echo "runner states: ok"
