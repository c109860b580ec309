#!/usr/bin/env bash
# ARM instructions per emulated frame of the handheld's own program, velkoro.gpe, as the
# bare-metal build makes it (cmake/gp2x-gpe.cmake). Its stand-in build runs under qemu-arm's
# ARMv4T model with our instruction-counting plugin (bench/insn_plugin.c), on the stand-in
# handheld (tests/gp2x_os/standin_handheld.cpp) in real time, playing the busy graphics II
# cartridge of the machine benchmark with the program's automatic frame skip: B past the welcome
# screen, B on the cartridge, SELECT after SECONDS, Y in the manager. Two runs, of SECONDS and of
# 2 x SECONDS, cancel the start-up and the end; bench/gpe_split.py splits their difference by
# function and counts the pacing's waits apart (bench/arm_common.sh has the runs themselves).
#
# Usage: bench/gpe_instructions.sh [SECONDS]     (8 by default)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-8}"
case "$seconds" in '' | *[!0-9]* | 0) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac

source "$here/bench/arm_common.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
gpe_standin_build
plugin_build
gpe_standin_run "$seconds" shorter 1
gpe_standin_run $((2 * seconds)) longer 1

program_symbols arm-none-eabi-nm
echo "velkoro.gpe (bare-metal build), busy graphics II cartridge, ${seconds}-second difference in real time:"
python3 "$here/bench/gpe_split.py" "$work/symbols" "$work/shorter.blocks" "$work/longer.blocks"
