// The handheld's own system layer: the Linux 2.4 system calls velkoro.gpe makes. The handheld's
// kernel takes them in the old ARM convention, `swi 0x900000 + number`, with the arguments in r0
// to r5 and the result in r0, where -4095..-1 is a failure (minus the error number). Only calls
// that Linux 2.4 has are listed here; nothing else in the program enters the kernel.
//
// Used by the rest of the layer: the process start (start.cpp), the C library's system hooks
// (libc_hooks.cpp), the adapter's seam (seam.cpp) and the card's directories (dirent.cpp). Built
// only with the bare-metal ARM compilers (cmake/gp2x-gpe.cmake).
#pragma once
#include <cstddef>
#include <cstdint>

namespace linux_nr {
constexpr uint32_t EXIT = 1;
constexpr uint32_t READ = 3;
constexpr uint32_t WRITE = 4;
constexpr uint32_t OPEN = 5;
constexpr uint32_t CLOSE = 6;
constexpr uint32_t EXECVE = 11;
constexpr uint32_t CHDIR = 12;
constexpr uint32_t LSEEK = 19;
constexpr uint32_t GETPID = 20;
constexpr uint32_t KILL = 37;
constexpr uint32_t BRK = 45;
constexpr uint32_t IOCTL = 54;
constexpr uint32_t GETTIMEOFDAY = 78;
constexpr uint32_t MUNMAP = 91;
constexpr uint32_t FSTAT = 108;
constexpr uint32_t WAIT4 = 114;
constexpr uint32_t CLONE = 120;
constexpr uint32_t GETDENTS = 141;
constexpr uint32_t NANOSLEEP = 162;
constexpr uint32_t PRCTL = 172;
constexpr uint32_t MMAP2 = 192;
} // namespace linux_nr

// The kernel's own values where they differ from the C library's (ARM): open flags, the
// terminal-settings request, wait4's flag for threads, the page size; and prctl's.
namespace linux_flag {
constexpr uint32_t ACCESS_MODE = 03;
constexpr uint32_t READ_WRITE = 02;
constexpr uint32_t CREATE = 0100;
constexpr uint32_t EXCLUSIVE = 0200;
constexpr uint32_t NO_TERMINAL = 0400;
constexpr uint32_t TRUNCATE = 01000;
constexpr uint32_t APPEND = 02000;
constexpr uint32_t NON_BLOCKING = 04000;
constexpr uint32_t SYNCHRONOUS = 010000;
constexpr uint32_t DIRECTORY = 040000;
constexpr uint32_t GET_TERMINAL = 0x5401;
constexpr uint32_t WAIT_CLONES = 0x80000000u; // wait4: children that report with no signal
constexpr uint32_t PAGE_SHIFT = 12;
constexpr uint32_t SET_PARENT_DEATH_SIGNAL = 1; // prctl: the signal sent when the parent dies
constexpr uint32_t KILL_SIGNAL = 9;
} // namespace linux_flag

// The kernel's record for fstat on ARM (struct stat of the "new" fstat call). Linux 2.4 has 16-bit
// device and mode fields followed by padding where later kernels widened them; the offsets of
// the fields read here are the same in both.
struct LinuxStat {
    uint32_t dev;
    uint32_t ino;
    uint16_t mode;
    uint16_t nlink;
    uint16_t uid;
    uint16_t gid;
    uint32_t rdev;
    uint32_t size;
    uint32_t blksize;
    uint32_t blocks;
    uint32_t atime, atime_ns;
    uint32_t mtime, mtime_ns;
    uint32_t ctime, ctime_ns;
    uint32_t unused[2];
};
static_assert(sizeof(LinuxStat) == 64 && offsetof(LinuxStat, size) == 20);

// One record of the getdents call: the name runs up to d_reclen and ends in a zero byte.
struct LinuxDirent {
    uint32_t ino;
    uint32_t off;
    uint16_t reclen;
    char name[2];
};
constexpr uint32_t LINUX_DIRENT_NAME = offsetof(LinuxDirent, name);

struct LinuxTimespec {
    int32_t seconds, nanoseconds;
};

// Makes system call N. Every call passes six registers; the kernel reads those it needs.
template <uint32_t N>
inline int32_t linux_call(uint32_t a = 0, uint32_t b = 0, uint32_t c = 0, uint32_t d = 0, uint32_t e = 0,
                          uint32_t f = 0) {
    register uint32_t r0 asm("r0") = a;
    register uint32_t r1 asm("r1") = b;
    register uint32_t r2 asm("r2") = c;
    register uint32_t r3 asm("r3") = d;
    register uint32_t r4 asm("r4") = e;
    register uint32_t r5 asm("r5") = f;
    asm volatile("swi %c[number]"
                 : "+r"(r0)
                 : [number] "i"(0x900000u + N), "r"(r1), "r"(r2), "r"(r3), "r"(r4), "r"(r5)
                 : "memory");
    return int32_t(r0);
}

template <typename T> inline uint32_t linux_arg(T* pointer) {
    return uint32_t(reinterpret_cast<uintptr_t>(pointer));
}

// A result in -4095..-1 is the kernel's failure report.
inline bool linux_failed(int32_t result) { return uint32_t(result) >= 0xFFFFF001u; }

// The handheld's path for a stand-in build: device, card and menu paths start with the folder
// the stand-in build was made for; in velkoro.gpe every path is returned as it is. Returns
// nullptr when the result does not fit in `buffer`.
constexpr size_t OS_PATH_BYTES = 1024;
const char* os_path(const char* path, char (&buffer)[OS_PATH_BYTES]);

// The process's environment as the kernel passed it (start.cpp), handed on by execve.
extern "C" char** environ;
