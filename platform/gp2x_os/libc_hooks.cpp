// The C library's system hooks for velkoro.gpe: newlib reaches the operating system only through
// these functions (its stdio, malloc, exit and abort call them). Each is one Linux 2.4 call; where
// newlib's numbers differ from the kernel's (the open flags, the file-status record), the hook
// translates them. Failures set errno and return -1, as newlib expects.
//
// Only the main thread uses the C library: the audio thread calls the seam's raw calls directly.
#include "platform/gp2x_os/linux.h"

#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace {

int32_t failed(int32_t result) {
    errno = -result;
    return -1;
}

int32_t checked(int32_t result) { return linux_failed(result) ? failed(result) : result; }

struct FlagPair {
    int newlib;
    uint32_t kernel;
};
constexpr FlagPair OPEN_FLAGS[] = {
    {O_CREAT, linux_flag::CREATE},       {O_EXCL, linux_flag::EXCLUSIVE},
    {O_NOCTTY, linux_flag::NO_TERMINAL}, {O_TRUNC, linux_flag::TRUNCATE},
    {O_APPEND, linux_flag::APPEND},      {O_NONBLOCK, linux_flag::NON_BLOCKING},
    {O_SYNC, linux_flag::SYNCHRONOUS},
};
static_assert(O_RDONLY == 0 && O_WRONLY == 1 && O_RDWR == 2, "the access modes are the kernel's");

uint32_t kernel_open_flags(int flags) {
    uint32_t out = uint32_t(flags) & linux_flag::ACCESS_MODE;
    for (const FlagPair& f : OPEN_FLAGS)
        if (flags & f.newlib) out |= f.kernel;
    return out;
}

// The program break: found at the first request, then moved in whole requests.
uintptr_t heap_end = 0;

} // namespace

extern "C" {

int _open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    uint32_t mode = (flags & O_CREAT) ? va_arg(rest, uint32_t) : 0;
    va_end(rest);
    char buffer[OS_PATH_BYTES];
    const char* p = os_path(path, buffer);
    if (!p) return failed(-ENAMETOOLONG);
    return checked(linux_call<linux_nr::OPEN>(linux_arg(p), kernel_open_flags(flags), mode));
}

int _close(int fd) { return checked(linux_call<linux_nr::CLOSE>(uint32_t(fd))); }

int _read(int fd, void* buffer, size_t bytes) {
    return checked(linux_call<linux_nr::READ>(uint32_t(fd), linux_arg(buffer), bytes));
}

int _write(int fd, const void* buffer, size_t bytes) {
    return checked(linux_call<linux_nr::WRITE>(uint32_t(fd), linux_arg(buffer), bytes));
}

off_t _lseek(int fd, off_t offset, int whence) {
    return checked(linux_call<linux_nr::LSEEK>(uint32_t(fd), uint32_t(offset), uint32_t(whence)));
}

int _fstat(int fd, struct stat* out) {
    LinuxStat s{};
    int32_t r = linux_call<linux_nr::FSTAT>(uint32_t(fd), linux_arg(&s));
    if (linux_failed(r)) return failed(r);
    *out = {};
    out->st_dev = dev_t(s.dev);
    out->st_ino = ino_t(s.ino);
    // The file-type and permission bits have the same octal values in both.
    out->st_mode = mode_t(s.mode);
    out->st_nlink = nlink_t(s.nlink);
    out->st_uid = uid_t(s.uid);
    out->st_gid = gid_t(s.gid);
    out->st_rdev = dev_t(s.rdev);
    out->st_size = off_t(s.size);
    out->st_blksize = blksize_t(s.blksize);
    out->st_blocks = blkcnt_t(s.blocks);
    out->st_atime = time_t(s.atime);
    out->st_mtime = time_t(s.mtime);
    out->st_ctime = time_t(s.ctime);
    return 0;
}

// A terminal answers the terminal-settings request; anything else refuses it.
int _isatty(int fd) {
    uint32_t settings[16];
    int32_t r = linux_call<linux_nr::IOCTL>(uint32_t(fd), linux_flag::GET_TERMINAL, linux_arg(settings));
    if (!linux_failed(r)) return 1;
    errno = -r;
    return 0;
}

void* _sbrk(ptrdiff_t increment) {
    if (heap_end == 0) heap_end = uint32_t(linux_call<linux_nr::BRK>(0));
    uintptr_t wanted = heap_end + uintptr_t(increment);
    // The kernel answers with the new break, or with the old one when it refuses. A request that
    // runs past the top of the address space would come round below the heap and shrink it.
    bool wraps = increment > 0 ? wanted < heap_end : wanted > heap_end;
    uintptr_t got = wraps ? heap_end : uint32_t(linux_call<linux_nr::BRK>(uint32_t(wanted)));
    if (got != wanted) {
        errno = ENOMEM;
        return reinterpret_cast<void*>(-1);
    }
    void* previous = reinterpret_cast<void*>(heap_end);
    heap_end = wanted;
    return previous;
}

[[noreturn]] void _exit(int status) {
    for (;;) linux_call<linux_nr::EXIT>(uint32_t(status));
}

int _getpid() { return linux_call<linux_nr::GETPID>(); }

int _kill(int pid, int signal) {
    return checked(linux_call<linux_nr::KILL>(uint32_t(pid), uint32_t(signal)));
}

int _gettimeofday(struct timeval* tv, void*) {
    int32_t now[2] = {0, 0};
    int32_t r = linux_call<linux_nr::GETTIMEOFDAY>(linux_arg(now), 0);
    if (linux_failed(r)) return failed(r);
    if (tv) {
        tv->tv_sec = now[0];
        tv->tv_usec = now[1];
    }
    return 0;
}

} // extern "C"
