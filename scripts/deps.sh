# Installs the Debian packages the build needs, only those that are missing, so that a second
# run is quick. Sourced by run.sh and test.sh; `velkoro_need_packages pkg...`.
velkoro_need_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -q
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

# What building and running the program needs.
VELKORO_BUILD_PACKAGES=(cmake g++ ninja-build pkg-config libpng-dev pasmo libsdl2-dev)
# What the tests need on top.
VELKORO_TEST_PACKAGES=(googletest libgtest-dev imagemagick xvfb xdotool libx11-dev)
# The fuzz build: clang with libFuzzer and the sanitizers' runtimes.
VELKORO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# The handheld's own program, velkoro.gpe: the bare-metal ARM compilers with newlib and its C++
# library (their binutils disassemble it for the tests), and qemu's ARM user-mode model, which
# runs its stand-in build.
VELKORO_GPE_PACKAGES=(gcc-arm-none-eabi libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib qemu-user)
