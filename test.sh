#!/usr/bin/env bash
# Builds Velkoro and runs every test twice: in the optimised build (slow tests included), and in
# a build with AddressSanitizer and UndefinedBehaviorSanitizer (slow tests left out). The web page
# is built with emscripten for the optimised build's check in Chromium. A third
# build with ThreadSanitizer runs the threaded tests (label tsan). A fourth, with clang, builds
# the fuzz targets and runs each for FUZZ_SECONDS (15) seconds. A fifth builds the program and
# the tests for the handheld's 32-bit ARM processor and runs them under qemu-arm (slow tests
# left out).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/deps.sh"
velkoro_need_packages "${VELKORO_BUILD_PACKAGES[@]}" "${VELKORO_TEST_PACKAGES[@]}" "${VELKORO_FUZZ_PACKAGES[@]}"

jobs="$(nproc)"
run_build() {
    local name="$1" ctest_args="$2" targets="${TARGETS:-all}"
    shift 2
    local build="$here/build/$name"
    echo "=== $name build ==="
    cmake -S "$here" -B "$build" -G Ninja "$@" > /dev/null
    cmake --build "$build" -j "$jobs" --target $targets
    (cd "$build" && ctest --output-on-failure -j "$jobs" $ctest_args)
}

# The handheld's own program and its stand-in, built first: the optimised build's gpe tests check
# the executable and run the stand-in under qemu-arm beside the stand-in handheld.
velkoro_need_packages "${VELKORO_GPE_PACKAGES[@]}"
echo "=== velkoro.gpe ==="
cmake -S "$here" -B "$here/build/gpe" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/gp2x-gpe.cmake" > /dev/null
cmake --build "$here/build/gpe" -j "$jobs"

# The web page, which the optimised build's web check opens in Chromium beside the headless runner.
echo "=== web page ==="
source "$here/scripts/web.sh"
velkoro_build_web "$here/build/web-build" "$here/build/web"
velkoro_need_npm
(cd "$here/tests/web" && npm ci --no-audit --no-fund)

run_build release "" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DVELKORO_GPE_DIR="$here/build/gpe" \
    -DVELKORO_WEB_PAGE="$here/build/web"
run_build asan "-LE slow" -DCMAKE_BUILD_TYPE=Debug -DVELKORO_SANITIZE=address -DBUILD_TESTING=ON
TARGETS="test_sound_threads test_sound test_machine test_whole_life test_platform test_gp2x test_gp2x_program velkoro-headless" \
    run_build tsan "-L tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKORO_SANITIZE=thread -DBUILD_TESTING=ON

echo "=== fuzz build ==="
fuzz_targets=(pcx tga image_file cartridge emulation ports script state)
CC=clang CXX=clang++ cmake -S "$here" -B "$here/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELKORO_SANITIZE=fuzzer -DBUILD_TESTING=OFF > /dev/null
cmake --build "$here/build/fuzz" -j "$jobs" --target "${fuzz_targets[@]/#/fuzz-}"
bash "$here/tests/fuzz/run.sh" "$here/build/fuzz" "${FUZZ_SECONDS:-15}" "${fuzz_targets[@]}"

velkoro_need_packages "${VELKORO_ARM_PACKAGES[@]}"
velkoro_arm_sysroot "$here/build/arm-sysroot"
run_build arm "-LE slow" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DVELKORO_LTO=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/arm-linux-gnueabi.cmake" -DVELKORO_ARM_SYSROOT="$here/build/arm-sysroot" \
    -DVELKORO_BACKEND=gp2x
