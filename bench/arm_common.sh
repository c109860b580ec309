# What the handheld's figures share (bench/arm_instructions.sh, bench/gpe_instructions.sh,
# bench/arm_cycles.sh): the builds they measure, the counting plugin, the runs of velkoro.gpe on
# the stand-in handheld and the program's symbols. Sourced with `here` set to the source tree;
# the caller has `set -euo pipefail` and a scratch folder in `work`.

# The whole-machine benchmark built for 32-bit ARM as the handheld's optimised build is (-O3,
# link-time optimisation, ARMv4T code for the ARM920T, ARM state), in build/arm-bench; sets
# `program`. -g only adds line information for a split by file: the code is the same without
# it. It goes into the optimised build's own flags, so that the toolchain's (ARMv4T code) stay;
# the cache is made afresh, so that flags an older run left there cannot replace them.
arm_machine_build() {
    source "$here/scripts/deps.sh"
    velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" "${VELKORO_ARM_PACKAGES[@]}"
    velkoro_arm_sysroot "$here/build/arm-sysroot"
    local build="$here/build/arm-bench"
    rm -f "$build/CMakeCache.txt"
    cmake -S "$here" -B "$build" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DVELKORO_LTO=ON \
        -DCMAKE_C_FLAGS_RELEASE="-O3 -DNDEBUG -g" -DCMAKE_CXX_FLAGS_RELEASE="-O3 -DNDEBUG -g" \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/arm-linux-gnueabi.cmake" -DVELKORO_ARM_SYSROOT="$here/build/arm-sysroot" \
        > /dev/null
    cmake --build "$build" -j "$(nproc)" --target bench_machine velkoro_mixer_bench velkoro_video_rom_busy \
        velkoro_video_rom_busy_banks velkoro_video_rom_tiny_bios > /dev/null
    program="$build/bench/bench_machine"
}

# The hosted back end's two screen buffers in the machine benchmark, as "ADDRESS:BYTES"
# (hexadecimal) for the plugin's screen range; sets `screen`.
machine_screen() {
    screen="$(arm-linux-gnueabi-nm -C -S "$program" | awk '$4 == "(anonymous" && $5 == "namespace)::buffers" {
        print $1 ":" $2 }')"
    case "$screen" in *:*) ;; *) echo "$0: the screen buffers are not among the program's symbols" >&2; exit 1 ;; esac
}

# velkoro.gpe's stand-in build (build/gpe) and the stand-in handheld (build/gpe-bench-host), with
# a card in $work/card holding our boot ROM and the busy graphics II cartridge of the machine
# benchmark; sets `program`, `root` and `host`.
gpe_standin_build() {
    source "$here/scripts/deps.sh"
    velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" "${VELKORO_GPE_PACKAGES[@]}" python3
    cmake -S "$here" -B "$here/build/gpe" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/gp2x-gpe.cmake" > /dev/null
    cmake --build "$here/build/gpe" -j "$(nproc)" > /dev/null
    host="$here/build/gpe-bench-host"
    cmake -S "$here" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON > /dev/null
    cmake --build "$host" -j "$(nproc)" --target velkoro-standin-handheld velkoro_video_rom_busy velkoro_boot_rom \
        > /dev/null
    mkdir -p "$work/card/roms/colecovision"
    cp "$host/card/roms/colecovision/coleco.rom" "$work/card/roms/colecovision/"
    cp "$host/tests/video/roms/busy.rom" "$work/card/roms/colecovision/"
    program="$here/build/gpe/velkoro-standin.gpe"
    root="$(cat "$here/build/gpe/standin-root.txt")"
}

# The counting plugin, built into $work.
plugin_build() {
    plugin="$work/libvelkoro_insn.so"
    cc -O2 -shared -fPIC -Wall -Wextra -Werror "$here/bench/insn_plugin.c" -o "$plugin"
}

# gpe_standin_run SECONDS NAME SLOW [PLUGIN-ARGUMENTS]: velkoro.gpe plays the busy cartridge on the
# stand-in handheld under the plugin: B past the welcome screen, B on the cartridge, SELECT after
# SECONDS of the handheld's time, Y in the manager, the handheld's time running SLOW times slower
# than the PC's. Its totals go to $work/NAME.total, its block counts to $work/NAME.blocks. The
# menu program is taken away once the stand-in has made it, so that the program ends by
# returning (and qemu writes the counts) instead of handing over to the menu.
gpe_standin_run() {
    local select=$(($1 * 1000)) slow="$3" extra="${4:-}"
    local leave=$((select + 1500))
    rm -rf "$root/usr/gp2x"
    (for _ in $(seq $((100 * slow))); do
        sleep 0.1
        [ -f "$root/usr/gp2x/gp2xmenu" ] && { rm -rf "$root/usr/gp2x"; break; }
    done) &
    "$host/tests/gp2x_os/velkoro-standin-handheld" --root "$root" --card "$work/card" --slow "$slow" \
        --buttons "B:300-400,B:800-900,SELECT:$select-$((select + 100)),Y:$leave-$((leave + 100))" \
        --timeout $((leave + 30000)) -- \
        qemu-arm -cpu ti925t -plugin "$plugin,total=$work/$2.total,blocks=$work/$2.blocks$extra" "$program" \
        > "$work/$2.log" 2>&1 || { cat "$work/$2.log" >&2; exit 1; }
    wait
}

# program_symbols NM: the program's functions as "address<TAB>name" (decimal, by address) in
# $work/symbols.
program_symbols() {
    "$1" -n -C -t d --defined-only "$program" |
        awk '$2 ~ /^[tTwW]$/ { a = $1; $1 = ""; $2 = ""; sub(/^  /, ""); print a "\t" $0 }' > "$work/symbols"
}
