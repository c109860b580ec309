#!/usr/bin/env bash
# ARM instructions per emulated frame on the handheld's processor. The whole-machine benchmark
# (the busy graphics II cartridge, bench/machine_bench.cpp) is built for 32-bit ARM as the
# handheld's optimised build is (ARMv4T code, link-time optimisation) and run under qemu-arm with
# our instruction-counting plugin (bench/insn_plugin.c). Two runs of FRAMES and 2 x FRAMES
# emulated frames cancel the start-up: the figure is their difference per frame, once with every
# frame drawn (frame skip 1) and once with the program's default frame skip 2.
#
# Usage: bench/arm_instructions.sh [FRAMES]     (300 by default)
# With BLOCKS=DIR in the environment each run also leaves its per-block counts in DIR
# (address, instructions, runs), next to the program's symbols in DIR/bench_machine.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
frames="${1:-300}"
case "$frames" in '' | *[!0-9]* | 0) echo "usage: $0 [FRAMES]" >&2; exit 2 ;; esac
frames=$(((frames + 1) / 2 * 2))

source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" "${VELKORO_ARM_PACKAGES[@]}"
velkoro_arm_sysroot "$here/build/arm-sysroot"

build="$here/build/arm-bench"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/arm-linux-gnueabi.cmake" -DVELKORO_ARM_SYSROOT="$here/build/arm-sysroot" \
    > /dev/null
cmake --build "$build" --target bench_machine velkoro_video_rom_busy velkoro_video_rom_tiny_bios > /dev/null
plugin="$build/libvelkoro_insn.so"
cc -O2 -shared -fPIC -Wall -Wextra -Werror "$here/bench/insn_plugin.c" -o "$plugin"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# instructions FRAMES SKIP: the instructions one whole run executes.
instructions() {
    local args="total=$work/total"
    [ -n "${BLOCKS:-}" ] && args+=",blocks=$BLOCKS/blocks-$1-skip$2.txt"
    qemu-arm -cpu arm926 -plugin "$plugin,$args" "$build/bench/bench_machine" --quiet --frames "$1" --skip "$2"
    cat "$work/total"
}
[ -n "${BLOCKS:-}" ] && mkdir -p "$BLOCKS" && cp "$build/bench/bench_machine" "$BLOCKS/"

budget=$((200000000 / 60))
echo "ARM instructions per emulated frame, busy graphics II cartridge ($frames-frame difference):"
for skip in 1 2; do
    a=$(instructions "$frames" "$skip")
    b=$(instructions $((2 * frames)) "$skip")
    per_frame=$(((b - a) / frames))
    label="every frame drawn (frame skip 1)"
    [ "$skip" = 2 ] && label="default frame skip 2"
    printf '  %-34s %10d  (%d%% of the 200 MHz ARM920T'"'"'s %d cycles per frame)\n' \
        "$label" "$per_frame" $((per_frame * 100 / budget)) "$budget"
done
