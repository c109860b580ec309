# Cross build for the handheld's processor, an ARM920T (ARMv4T, ARM state), with Debian's
# arm-linux-gnueabi compilers, linked statically. On a PC the programs and tests it builds run
# under qemu's user-mode emulator. VELKORO_ARM_SYSROOT names a folder holding Debian's armel
# libpng and zlib, unpacked (scripts/deps.sh: velkoro_arm_sysroot).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabi-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabi-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabi)

# 64-bit file offsets: a PC's file systems, which the tests read through qemu, hand out inode
# numbers and directory offsets that do not fit in 32 bits (readdir would fail with EOVERFLOW).
set(CMAKE_C_FLAGS_INIT "-march=armv4t -mtune=arm920t -marm -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-march=armv4t -mtune=arm920t -marm -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# ARMv4T has no 64-bit atomic instructions: 64-bit std::atomic goes through libatomic.
set(CMAKE_CXX_STANDARD_LIBRARIES_INIT "-latomic")

set(VELKORO_ARM_SYSROOT "" CACHE PATH "Folder with the ARM libpng and zlib unpacked")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELKORO_ARM_SYSROOT)
set(CMAKE_FIND_ROOT_PATH ${VELKORO_ARM_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The system's C and C++ libraries for armel are built for ARMv5TE, one step above the
# handheld's ARMv4T, so the emulator runs qemu's ARM926 model, which runs both (the handheld's own
# build, with a system layer of its own, links nothing built for more than ARMv4T).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/qemu-arm-run.sh)
