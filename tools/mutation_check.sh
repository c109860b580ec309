#!/usr/bin/env bash
# Checks that the quick tests catch known faults: for each change below it breaks one place of
# the code (a perl substitution), builds, runs the quick tests (ctest -LE slow) and puts the code
# back, then reports which tests failed. A change that no test catches, or whose pattern no
# longer matches the code, makes the script fail.
#
#   tools/mutation_check.sh [NAME...]   (NAME: run only the changes of these names)
#
# It builds in build/mutation (an optimised build without link-time optimisation, so that each
# change relinks quickly) and leaves that build on the unchanged code when it ends.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build/mutation"
jobs="${JOBS:-2}"

# name | file | perl substitution (the file is read whole, so patterns may span lines)
mutations=(
    "cartridge-one-byte-short|machine/loader.cpp|s/read_fully\(f, cart, CARTRIDGE_MAX_BYTES\)/read_fully(f, cart, CARTRIDGE_MAX_BYTES - 1)/"
    "load-keeps-module-ram|machine/loader.cpp|s/\n\s*sgm_reset\(\);//"
    "load-keeps-sound-registers|machine/loader.cpp|s/\n\s*ay_reset\(&ay\);//"
    "load-keeps-spinners|machine/loader.cpp|s/\n\s*spinners_reset\(\);//"
    "fifth-sprite-keeps-old-number|video/vdp.cpp|s/\(vdp\.status & 0xA0\)/(vdp.status \& 0xBF)/"
    "cartridge-too-large-taken|machine/loader.cpp|s/if \(bytes > long\(CARTRIDGE_FILE_MAX_BYTES\)\) return/if (false \&\& bytes > long(CARTRIDGE_FILE_MAX_BYTES)) return/"
    "load-failure-silent|machine/play.cpp|s/if \(!ran\) show_load_failure/if (false \&\& !ran) show_load_failure/"
    "folder-listed-as-cartridge|frontend/manager.cpp|s/ \|\| is_folder\(name\)/ || (false \&\& is_folder(name))/"
    "load-keeps-controller-mode|machine/loader.cpp|s/\n\s*controller_mode = 0;//"
    "load-keeps-controller-words|machine/loader.cpp|s/\n\s*controller_words\[0\] = controller_words\[1\] = 0xFFFF;//"
    "load-keeps-scanline|machine/loader.cpp|s/\n\s*scanline = 0;//"
    "load-without-deferred-sound|machine/loader.cpp|s/\n\s*psg_flush\(&psg, 1\);//"
    "load-without-video-memory-fill|machine/loader.cpp|s/\n\s*std::memset\(vdp\.vram, 0xFF, VDP_VRAM_BYTES\);//"
    "load-restarts-skip-phase|machine/loader.cpp|s/(\n\s*)scanline = 0;/\$1scanline = 0;\$1skip_countdown = 0;/"
    "play-without-resume|machine/play.cpp|s/\n\s*audio_set_paused\(0\);//"
    "play-without-mixer-reset|machine/play.cpp|s/\n\s*mixer_reset\(\);//"
    "play-without-release|machine/play.cpp|s/\n\s*release_machine\(\);//"
    "default-cartridge-path|machine/play.cpp|s/colecovision\/dk\.rom\"/colecovision\/dk2.rom\"/"
    "picture-failure-silent|machine/play.cpp|s/(if \(!vdp_picture\) \{)\s*show_status_message\([^;]*;/\$1/"
    "back-buffer-failure-silent|machine/play.cpp|s/(if \(!back\) \{)\s*show_status_message\([^;]*;/\$1/"
    "keypad-12-13-swapped|machine/ports.cpp|s/0x08, 0x04, 0x0F, 0x0F\}/0x04, 0x08, 0x0F, 0x0F}/"
    "every-frame-presented|machine/driver.cpp|s/(skip_countdown = uint8_t\(frame_skip - 1\);)\s*present_frame\(\);(\s*\})/\$1\$2\n    present_frame();/"
    "ei-restarts-zero-cost-count|cpu/z80.cpp|s/(\n(\s*)c\.z\.cycles_left = 1;)/\$1\n\$2c.zero_run = 0;/"
)

backup_dir="$(mktemp -d)"
current=""
restore() {
    if [ -n "$current" ]; then
        cp "$backup_dir/file" "$here/$current"
        current=""
    fi
}
trap 'restore; rm -rf "$backup_dir"' EXIT
trap 'exit 130' INT TERM

build_tree() { nice cmake --build "$build" -j "$jobs" > "$backup_dir/build.log" 2>&1; }
quick_tests() {
    (cd "$build" && nice ctest -LE slow -j "$jobs" --timeout 120 > "$backup_dir/ctest.log" 2>&1)
    grep -E '^\s*[0-9]+ - .* \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|Not Run)\)' \
        "$backup_dir/ctest.log" | sed -E 's/^\s*[0-9]+ - ([^ ]+) .*/\1/' | sort -u | tr '\n' ' '
}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON > /dev/null || exit 1
if ! build_tree; then
    cat "$backup_dir/build.log"
    echo "the unchanged tree does not build"
    exit 1
fi
baseline="$(quick_tests)"
if [ -n "$baseline" ]; then
    echo "the unchanged tree fails: $baseline"
    exit 1
fi
echo "unchanged tree: quick tests pass"

missed=0
for entry in "${mutations[@]}"; do
    IFS='|' read -r name file substitution <<< "$entry"
    if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
    cp "$here/$file" "$backup_dir/file"
    current="$file"
    perl -0777 -pi -e "$substitution" "$here/$file"
    if cmp -s "$here/$file" "$backup_dir/file"; then
        printf '%-32s PATTERN NOT FOUND in %s: update this script\n' "$name" "$file"
        missed=$((missed + 1))
        restore
        continue
    fi
    if ! build_tree; then
        printf '%-32s does not build (%s)\n' "$name" "$file"
        missed=$((missed + 1))
        restore
        continue
    fi
    failed="$(quick_tests)"
    restore
    if [ -n "$failed" ]; then
        printf '%-32s caught by %s\n' "$name" "$failed"
    else
        printf '%-32s NOT CAUGHT\n' "$name"
        missed=$((missed + 1))
    fi
done

build_tree || echo "warning: the build of the unchanged tree failed at the end"
if [ "$missed" -ne 0 ]; then
    echo "$missed change(s) not caught"
    exit 1
fi
echo "every change was caught"
