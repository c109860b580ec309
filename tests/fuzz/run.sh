#!/usr/bin/env bash
# Runs the fuzz targets of a fuzzer build (VELKORO_SANITIZE=fuzzer) for a fixed time each, on
# their corpus, and fails on the first finding. The seeds in tests/fuzz/corpus are only read: what
# a run discovers goes to a working corpus (a temporary one unless WORK is given, so that a
# longer campaign can go on where the last one stopped), and a finding is written as
# build/fuzz/finding-<target>-*. Replay a finding with `build/fuzz/tests/fuzz/fuzz-<target> FILE`;
# once mended, copy it to tests/fuzz/corpus/<target>/finding-<what> so that the corpus test keeps
# it mended.
#
#   tests/fuzz/run.sh BUILD-FOLDER SECONDS [TARGET...]
#   WORK=build/fuzz/work nice -n 19 tests/fuzz/run.sh build/fuzz 3600 ports   # a longer campaign
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(pcx tga image_file cartridge emulation ports script)

for t in "${targets[@]}"; do
    if [ -n "${WORK:-}" ]; then
        work="$WORK/$t"
        mkdir -p "$work"
    else
        work="$(mktemp -d)"
    fi
    log="$build/fuzz-$t.log"
    # Inputs as long as a BIOS and a 128 KB MegaCart, or a full plain cartridge, where the target
    # takes them; elsewhere libFuzzer's own choice (its longest seed, at least 4 KB).
    length=()
    case "$t" in
    cartridge) length=(-max_len=140000) ;;
    emulation) length=(-max_len=32768) ;;
    esac
    # One process, one job: the machines are shared. A single input may take 10 s and 2 GB
    # before it counts as a finding.
    if "$build/tests/fuzz/fuzz-$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${length[@]}" \
        -artifact_prefix="$build/finding-$t-" -print_final_stats=1 "$work" "$here/corpus/$t" > "$log" 2>&1; then
        runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        echo "fuzz-$t: ${runs:-?} inputs in ${seconds} s, no finding"
    else
        echo "fuzz-$t: FINDING (log $log)"
        tail -n 40 "$log"
        [ -n "${WORK:-}" ] || rm -rf "$work"
        exit 1
    fi
    [ -n "${WORK:-}" ] || rm -rf "$work"
done
