#!/usr/bin/env bash
# ARM instructions per emulated frame on the handheld's processor. The whole-machine benchmark
# (the busy graphics II cartridge, bench/machine_bench.cpp) is built for 32-bit ARM as the
# handheld's optimised build is (-O3, link-time optimisation, ARMv4T code for the ARM920T, ARM
# state) and run under qemu-arm with our instruction-counting plugin (bench/insn_plugin.c). Two
# runs of FRAMES and 2 x FRAMES emulated frames cancel the start-up: the figure is their
# difference per frame, once with every frame drawn (frame skip 1) and once with the program's
# default frame skip 2.
#
# Then the same for the sound: the mixer benchmark (bench/mixer_bench.cpp) renders the sound of
# FRAMES and 2 x FRAMES emulated frames (735 samples each) with all seven channels of both chips
# at full level, once as music plays them and once with the module's fastest noise and an
# envelope.
#
# Each figure is split by function (the program's symbols: with link-time optimisation small
# functions live inside their callers, the presentation inside the frame hook `cpu_hook`) and by
# source file (from the line information: where the executed instructions were written).
#
# On the handheld the screen is uncached memory, where every store instruction waits for the bus:
# the stores into the benchmark's screen buffers are counted too (store instructions, and the
# 32-bit words they wrote), per presented frame.
#
# Usage: bench/arm_instructions.sh [FRAMES]     (300 by default)
# CARTRIDGE=busy_banks counts the same machine as a MegaCart that switches banks some 250 times
# a frame (bench/machine_bench.cpp --cartridge).
# TOP=N lists the N largest functions and files (12 by default). With BLOCKS=DIR in the
# environment each run also leaves its per-block counts in DIR (address, instructions, runs),
# next to the program in DIR/bench_machine.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
frames="${1:-300}"
case "$frames" in '' | *[!0-9]* | 0) echo "usage: $0 [FRAMES]" >&2; exit 2 ;; esac
top="${TOP:-12}"
cartridge="${CARTRIDGE:-busy}"
case "$cartridge" in busy | busy_banks) ;; *) echo "$0: CARTRIDGE must be busy or busy_banks" >&2; exit 2 ;; esac
case "$top" in '' | *[!0-9]*) echo "$0: TOP must be a number" >&2; exit 2 ;; esac

source "$here/bench/arm_common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
arm_machine_build
plugin_build
blocks="${BLOCKS:-$work}"
mkdir -p "$blocks"
[ -n "${BLOCKS:-}" ] && cp "$program" "$BLOCKS/"

machine_screen

# instructions FRAMES SKIP: the instructions one whole run executes; its block counts are left in
# $blocks/blocks-FRAMES-skipSKIP.txt, its stores into the screen in $work/stores-FRAMES-SKIP.
instructions() {
    qemu-arm -cpu arm926 -plugin \
        "$plugin,total=$work/total,blocks=$blocks/blocks-$1-skip$2.txt,screen=$screen,stores=$work/stores-$1-$2" \
        "$program" --quiet --frames "$1" --skip "$2" --cartridge "$cartridge"
    cat "$work/total"
}

# The program's functions, by address (decimal), for the split by function.
program_symbols arm-linux-gnueabi-nm

# split A B: per instruction address, the instructions of run B less those of run A
# ("address<TAB>count", decimal, by address). A block's instructions lie one after another, 4
# bytes each (ARM state).
split_by_address() {
    awk 'function hex(s,   i, v) {
             v = 0; s = tolower(s)
             for (i = 1; i <= length(s); ++i) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
             return v
         }
         FNR == 1 { weight = (FILENAME == ARGV[1]) ? -1 : 1 }
         { a = hex($1); for (i = 0; i < $2; ++i) n[a + 4 * i] += weight * $3 }
         END { for (a in n) if (n[a] != 0) printf "%.0f\t%.0f\n", a, n[a] }' "$1" "$2" | sort -n
}

# table TITLE TOTAL: "name<TAB>count" lines in, the TOP largest out, per frame, with their share.
table() {
    awk -F '\t' '{ n[$1] += $2 } END { for (k in n) printf "%.0f\t%s\n", n[k], k }' |
        sort -t "$(printf '\t')" -k1,1nr |
        awk -F '\t' -v title="$1" -v total="$2" -v frames="$frames" -v top="$top" '
            function line(count, name) {
                printf "      %10.0f  %5.1f%%  %s\n", count / frames, 100 * count / total, name
            }
            BEGIN { print "    " title ":" }
            NR <= top && $1 / frames >= 0.5 { line($1, $2); shown += $1 }
            END { if ((total - shown) / frames >= 0.5) line(total - shown, "(the rest)") }'
}

by_function() {
    awk -F '\t' 'NR == FNR { at[++s] = $1; name[s] = $2; next }
                 { while (j < s && at[j + 1] <= $1) ++j
                   print (j ? name[j] : "(before the first function)") "\t" $2 }' "$work/symbols" "$1"
}

by_file() {
    cut -f1 "$1" | awk '{ printf "0x%x\n", $1 }' | arm-linux-gnueabi-addr2line -e "$program" |
        sed -e 's/ (discriminator [0-9]*)//' -e 's/:[0-9?]*$//' -e "s|^$here/||" \
            -e 's|^??$|(no line information: the C and C++ libraries)|' -e 's|^/usr/.*|(C++ library headers)|' |
        paste - <(cut -f2 "$1")
}

budget=$((200000000 / 60))
label="busy graphics II cartridge"
[ "$cartridge" = busy_banks ] && label="busy graphics II MegaCart, switching banks"
echo "ARM instructions per emulated frame, $label ($frames-frame difference):"
for skip in 1 2; do
    a=$(instructions "$frames" "$skip")
    b=$(instructions $((2 * frames)) "$skip")
    difference=$((b - a))
    per_frame=$((difference / frames))
    label="every frame drawn (frame skip 1)"
    [ "$skip" = 2 ] && label="default frame skip 2"
    printf '  %-34s %10d  (%d%% of the 200 MHz ARM920T'"'"'s %d cycles per frame)\n' \
        "$label" "$per_frame" $((per_frame * 100 / budget)) "$budget"
    read -r stores_a words_a < "$work/stores-$frames-$skip"
    read -r stores_b words_b < "$work/stores-$((2 * frames))-$skip"
    presented=$((frames / skip))
    printf '    stores into the screen per presented frame: %d store instructions writing %d words\n' \
        $(((stores_b - stores_a) / presented)) $(((words_b - words_a) / presented))
    split_by_address "$blocks/blocks-$frames-skip$skip.txt" "$blocks/blocks-$((2 * frames))-skip$skip.txt" \
        > "$work/addresses"
    by_function "$work/addresses" | table "by function" "$difference"
    by_file "$work/addresses" | table "by source file" "$difference"
done

# The sound. The helpers above read the program and its symbols from $program and $work/symbols.
program="$build/bench/velkoro_mixer_bench"
arm-linux-gnueabi-nm -n -C -t d --defined-only "$program" |
    awk '$2 ~ /^[tTwW]$/ { a = $1; $1 = ""; $2 = ""; sub(/^  /, ""); print a "\t" $0 }' > "$work/symbols"
mixer_instructions() {
    qemu-arm -cpu arm926 -plugin "$plugin,total=$work/total,blocks=$blocks/mixer-$1$2.txt" \
        "$program" --quiet --frames "$1" $2
    cat "$work/total"
}
echo "ARM instructions per emulated frame (735 samples) of the sound, all seven channels at full level ($frames-frame difference):"
for mode in "" --noisy; do
    a=$(mixer_instructions "$frames" "$mode")
    b=$(mixer_instructions $((2 * frames)) "$mode")
    difference=$((b - a))
    label="as music plays them"
    [ -n "$mode" ] && label="the module's fastest noise, an envelope"
    printf '  %-34s %10d\n' "$label" $((difference / frames))
    split_by_address "$blocks/mixer-$frames$mode.txt" "$blocks/mixer-$((2 * frames))$mode.txt" > "$work/addresses"
    by_function "$work/addresses" | table "by function" "$difference"
done
