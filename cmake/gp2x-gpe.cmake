# The handheld's own program, velkoro.gpe: Debian's bare-metal ARM compilers (gcc-arm-none-eabi)
# with newlib and its C++ library, for the GP2X's ARM920T: ARMv4T, ARM state, soft float, no
# exceptions or run-time type information. Below the C library the program brings its own system
# layer (platform/gp2x_os), which makes Linux 2.4's system calls itself, so the program needs
# nothing from the handheld's old C library. The build makes velkoro.gpe, its stand-in
# (velkoro-standin.gpe), the card folder to copy to the SD card (card/) and the system layer's
# check program (velkoro-os-check.gpe); pasmo assembles the card's Z80 programs.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(VELKORO_GP2X_OS ON)
set(VELKORO_BACKEND gp2x CACHE STRING "Platform back end" FORCE)
set(BUILD_TESTING OFF CACHE BOOL "The tests run on the PC builds" FORCE)

# The C library shows its POSIX calls (strnlen and the like) as a Linux C library does.
set(velkoro_arm_flags "-march=armv4t -mtune=arm920t -marm -mfloat-abi=soft -ffunction-sections -fdata-sections -D_GNU_SOURCE")
set(CMAKE_C_FLAGS_INIT "${velkoro_arm_flags}")
# Function-local statics are first reached on the main thread; with thread-safe statics the C++
# library's guard would bring in the exception machinery (and its unwinder) just to report
# recursion.
set(CMAKE_CXX_FLAGS_INIT "${velkoro_arm_flags} -fno-exceptions -fno-rtti -fno-threadsafe-statics")
# The system layer has its own process start; unused code is left out.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostartfiles -static -Wl,--gc-sections")
# The program's libraries call each other both ways: the GNU linker's group, as on Linux.
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN "LINKER:--start-group" "LINKER:--end-group")
set(CMAKE_CXX_LINK_GROUP_USING_RESCAN_SUPPORTED TRUE)
