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
VELKORO_BUILD_PACKAGES=(cmake g++ ninja-build pkg-config libpng-dev pasmo libsdl2-dev libinih-dev)
# What the tests need on top.
VELKORO_TEST_PACKAGES=(googletest libgtest-dev imagemagick xvfb xdotool libx11-dev)
# The fuzz build: clang with libFuzzer and the sanitizers' runtimes.
VELKORO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# The handheld's own program, velkoro.gpe: the bare-metal ARM compilers with newlib and its C++
# library (their binutils disassemble and strip it), qemu's ARM user-mode model, which runs its
# stand-in build, and pasmo for the card folder's Z80 programs.
VELKORO_GPE_PACKAGES=(gcc-arm-none-eabi libnewlib-arm-none-eabi libstdc++-arm-none-eabi-newlib qemu-user pasmo)

# The 32-bit ARM build: the cross compiler and qemu's user-mode emulator, and libpng and zlib for
# ARM. Debian's armel packages of those two libraries are downloaded and unpacked into a folder
# of their own (`velkoro_arm_sysroot DIR`) rather than installed, so that they never have to
# match the versions installed for the host. apt-get may warn that it downloads as root.
VELKORO_ARM_PACKAGES=(g++-arm-linux-gnueabi qemu-user)
VELKORO_ARM_LIBRARIES=(libpng16-16:armel libpng-dev:armel zlib1g:armel zlib1g-dev:armel)
velkoro_arm_sysroot() {
    local root="$1"
    [ -f "$root/.complete" ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if ! dpkg --print-foreign-architectures | grep -qx armel; then
        $sudo dpkg --add-architecture armel
        $sudo apt-get update -q
    fi
    local debs
    debs="$(mktemp -d)"
    chmod 755 "$debs"
    if ! (cd "$debs" && apt-get download -q "${VELKORO_ARM_LIBRARIES[@]}"); then
        $sudo apt-get update -q
        (cd "$debs" && apt-get download -q "${VELKORO_ARM_LIBRARIES[@]}")
    fi
    rm -rf "$root"
    mkdir -p "$root"
    local d
    for d in "$debs"/*.deb; do dpkg-deb -x "$d" "$root"; done
    rm -rf "$debs"
    # The ARM build links statically: only the archives stay.
    find "$root" -name '*.so*' -delete
    touch "$root/.complete"
}
