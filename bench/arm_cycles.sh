#!/usr/bin/env bash
# Modelled ARM920T cycles per emulated frame on the handheld. This is a MODEL, not a
# measurement: qemu-arm runs the ARM code and our plugin (bench/insn_plugin.c, model=1) feeds
# every block it executes and every memory access it makes through a model of the handheld's
# processor and memory, whose figures are assumptions stated here. It shows where the time goes
# and how a change moves it; what the handheld itself takes can only be seen on the handheld.
#
# The model's figures, and why:
# - Core: ARM920T at 200 MHz, so a 60 Hz frame has 200,000,000 / 60 = 3,333,333 cycles.
# - Pipeline (the ARM9 integer core's timings): one cycle per instruction, and one for an
#   instruction whose condition fails; a shift by a register adds one; multiplies take 3 (MLA 4)
#   and long multiplies 4 (5 accumulating), the middle of their early-terminating ranges; LDM
#   and STM one cycle per register; SWI 3; a load into pc adds 2. Any change of flow (a taken
#   branch, BX, a write or load of pc) costs 2 more, the refill of the fetch and decode stages;
#   a block that does not continue at the address after the previous block's end counts as one.
#   A loaded word used by the very next instruction stalls one cycle, a byte or halfword two.
#   These are the core's own timings with every access hitting the caches; the model does not
#   see conditions, so an LDM or STM whose condition fails is still charged per register.
# - Caches: 16 KB instruction and 16 KB data caches, each 64-way set associative with 32-byte
#   lines (8 sets), round-robin replacement per set, virtually addressed. The data cache is
#   write-back and allocates on read misses only: a store that misses goes to the write buffer.
#   An instruction-cache miss is charged once per line a block spans, on each run of the block.
# - Write buffer: 4 addresses of up to 4 words each; a store to a following address by the same
#   instruction (an STM) joins its entry. An entry occupies the bus as long as its SDRAM write
#   takes; the core stalls only when all four are taken. A dirty line cast out by a fill goes
#   through it as one 8-word burst. Reads that go to the bus (line fills, uncached reads) and
#   unbuffered writes first wait until the buffer has drained, so that they see earlier writes.
# - SDRAM at 100 MHz behind the 100 MHz bus: 20 core cycles (10 bus cycles: the bus request,
#   row activation, a CAS latency of 2 or 3, the return through the bus) until the first word
#   of an access arrives, 2 core cycles (one bus cycle) for each following word of a burst. A
#   line fill is 20 + 7 x 2 = 34 cycles; a buffered single write 20 cycles of bus time.
# - Uncached, unbuffered: every shared mapping of a device or file (mmap2 with MAP_SHARED): the
#   frame buffers and the register block; in the machine benchmark its screen buffers. Each access waits for the bus, 20 cycles, later words
#   of one LDM or STM 2 each.
# - Not modelled: the TLBs and page-table walks, the kernel's own time (system calls, the
#   audio device's interrupts, task switches) and what it does to the caches, the display
#   controller's and sound DMA's share of the SDRAM, and the clock of the memory itself
#   (refresh, page hits). qemu's threads share the one model, as the handheld's one core does.
#
# Two programs are measured, each as the difference of a shorter and a longer run, so that the
# start-up cancels out:
# 1. The whole-machine benchmark (bench/machine_bench.cpp) built as the handheld's optimised
#    build is (bench/arm_instructions.sh), busy graphics II cartridge, every frame drawn, no
#    pacing; its two screen buffers are taken as uncached, as the handheld's frame buffers are.
# 2. velkoro.gpe's stand-in build on the stand-in handheld (bench/gpe_instructions.sh) with
#    sound, the handheld's time running SLOW times slower than the PC's (8 by default), so that
#    the model keeps pace with the handheld's clock and the program draws every frame. The runs
#    play SECONDS and 2 x SECONDS of the handheld's time; the pacing's waits are counted apart.
#    The last line is this program's figure.
#
# Usage: bench/arm_cycles.sh [FRAMES] [SECONDS]     (200 and 4 by default; SLOW=N, TOP is 14)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
frames="${1:-200}"
seconds="${2:-4}"
slow="${SLOW:-8}"
for n in "$frames" "$seconds" "$slow"; do
    case "$n" in '' | *[!0-9]* | 0) echo "usage: $0 [FRAMES] [SECONDS]   (SLOW=N in the environment)" >&2; exit 2 ;; esac
done

source "$here/bench/arm_common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
plugin_build

arm_machine_build
machine_screen
for n in "$frames" $((2 * frames)); do
    qemu-arm -cpu arm926 -plugin \
        "$plugin,total=$work/machine-$n.total,blocks=$work/machine-$n.blocks,screen=$screen,stores=$work/stores-$n,model=1" \
        "$program" --quiet --frames "$n" --skip 1
done
program_symbols arm-linux-gnueabi-nm
echo "Whole-machine benchmark (ARM build), busy graphics II cartridge, every frame drawn, $frames-frame difference:"
python3 "$here/bench/gpe_split.py" --frames "$frames" "$work/symbols" "$work/machine-$frames.blocks" \
    "$work/machine-$((2 * frames)).blocks"

gpe_standin_build
gpe_standin_run "$seconds" shorter "$slow" ,model=1
gpe_standin_run $((2 * seconds)) longer "$slow" ,model=1
program_symbols arm-none-eabi-nm
echo "velkoro.gpe (bare-metal build, stand-in), busy graphics II cartridge with sound, ${seconds}-second difference:"
python3 "$here/bench/gpe_split.py" --last-line "$work/symbols" "$work/shorter.blocks" "$work/longer.blocks" |
    tee "$work/gpe.txt"
drawn="$(awk '/more frames in the longer run/ { print ($1 - $8 <= 1) ? "all" : "not all" }' "$work/gpe.txt")"
if [ "$drawn" != all ]; then
    echo "$0: velkoro.gpe did not draw every frame under the model: try a larger SLOW" >&2
    exit 1
fi
