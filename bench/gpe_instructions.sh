#!/usr/bin/env bash
# ARM instructions per emulated frame of the handheld's own program, velkoro.gpe, as the
# bare-metal build makes it (cmake/gp2x-gpe.cmake). Its stand-in build runs under qemu-arm's
# ARMv4T model with our instruction-counting plugin (bench/insn_plugin.c), on the stand-in
# handheld (tests/gp2x_os/standin_handheld.cpp) in real time, playing the busy graphics II
# cartridge of the machine benchmark with the program's default frame skip 2: B past the welcome
# screen, B on the cartridge, SELECT after SECONDS, Y in the manager. Two runs, of SECONDS and of
# 2 x SECONDS, cancel the start-up and the end; bench/gpe_split.py splits their difference by
# function and counts the pacing's waits apart. The menu program is taken away once the stand-in
# has made it, so that the program ends by returning (and qemu writes the counts) instead of
# handing over to the menu.
#
# Usage: bench/gpe_instructions.sh [SECONDS]     (8 by default)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-8}"
case "$seconds" in '' | *[!0-9]* | 0) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac

source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" "${VELKORO_GPE_PACKAGES[@]}" python3

cmake -S "$here" -B "$here/build/gpe" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/gp2x-gpe.cmake" > /dev/null
cmake --build "$here/build/gpe" -j "$(nproc)" > /dev/null
host="$here/build/gpe-bench-host"
cmake -S "$here" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON > /dev/null
cmake --build "$host" -j "$(nproc)" --target velkoro-standin-handheld velkoro_video_rom_busy velkoro_boot_rom > /dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
plugin="$work/libvelkoro_insn.so"
cc -O2 -shared -fPIC -Wall -Wextra -Werror "$here/bench/insn_plugin.c" -o "$plugin"
mkdir -p "$work/card/roms/colecovision"
cp "$host/card/roms/colecovision/coleco.rom" "$work/card/roms/colecovision/"
cp "$host/tests/video/roms/busy.rom" "$work/card/roms/colecovision/"
program="$here/build/gpe/velkoro-standin.gpe"
root="$(cat "$here/build/gpe/standin-root.txt")"

# run SECONDS NAME: one run, its block counts in $work/NAME.blocks.
run() {
    local select=$(($1 * 1000))
    local leave=$((select + 1500))
    (for _ in $(seq 100); do
        sleep 0.1
        rm -rf "$root/usr/gp2x"
    done) &
    "$host/tests/gp2x_os/velkoro-standin-handheld" --root "$root" --card "$work/card" \
        --buttons "B:300-400,B:800-900,SELECT:$select-$((select + 100)),Y:$leave-$((leave + 100))" \
        --timeout $((leave + 30000)) -- \
        qemu-arm -cpu ti925t -plugin "$plugin,total=$work/$2.total,blocks=$work/$2.blocks" "$program" \
        > "$work/$2.log" 2>&1 || { cat "$work/$2.log" >&2; exit 1; }
    wait
}
run "$seconds" shorter
run $((2 * seconds)) longer

arm-none-eabi-nm -n -C -t d --defined-only "$program" |
    awk '$2 ~ /^[tTwW]$/ { a = $1; $1 = ""; $2 = ""; sub(/^  /, ""); print a "\t" $0 }' > "$work/symbols"
echo "velkoro.gpe (bare-metal build), busy graphics II cartridge, ${seconds}-second difference in real time:"
python3 "$here/bench/gpe_split.py" "$work/symbols" "$work/shorter.blocks" "$work/longer.blocks"
