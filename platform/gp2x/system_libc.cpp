// The adapter's operating-system calls made for real, through the C library: the handheld's
// build. It must never run on a PC, where mapping /dev/mem at 0xC0000000 would write into some
// other machine's hardware: it builds only for ARM, and the adapter's start-up refuses to go on
// unless /proc/cpuinfo names the handheld's processor.
#if !defined(__arm__)
#error "The real handheld calls build only for ARM; tests use the simulated handheld (platform/gp2x/sim)"
#endif
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif
#include "platform/gp2x/system.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

static_assert(O_RDONLY == SYS_O_RDONLY && O_WRONLY == SYS_O_WRONLY && O_RDWR == SYS_O_RDWR);
static_assert(PROT_READ == SYS_PROT_READ && PROT_WRITE == SYS_PROT_WRITE && MAP_SHARED == SYS_MAP_SHARED);

namespace {
// The adapter starts one thread; a second slot costs nothing. A thread's last act is to set its
// end word, which a bounded wait polls (the C library's own join has no time limit).
struct ThreadSlot {
    pthread_t thread;
    void* (*entry)(void*);
    void* argument;
    std::atomic<bool> done;
};
ThreadSlot threads[2];
int threads_started = 0;

void* thread_main(void* slot) {
    ThreadSlot& t = *static_cast<ThreadSlot*>(slot);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    void* result = t.entry(t.argument);
    t.done.store(true, std::memory_order_release);
    return result;
}

constexpr uint32_t THREAD_LOOK_US = 1000;
} // namespace

int sys_open(const char* path, int flags) { return ::open(path, flags); }
int sys_close(int fd) { return ::close(fd); }
int32_t sys_read(int fd, void* buffer, uint32_t bytes) { return int32_t(::read(fd, buffer, bytes)); }
int32_t sys_write(int fd, const void* buffer, uint32_t bytes) { return int32_t(::write(fd, buffer, bytes)); }
int sys_ioctl(int fd, uint32_t request, void* argument) { return ::ioctl(fd, request, argument); }

void* sys_mmap(uint32_t length, int prot, int flags, int fd, uint32_t offset) {
    void* p = ::mmap(nullptr, length, prot, flags, fd, off_t(offset));
    return p == MAP_FAILED ? nullptr : p;
}

int sys_munmap(void* address, uint32_t length) { return ::munmap(address, length); }
void sys_sleep_us(uint32_t microseconds) { ::usleep(microseconds); }

uint64_t sys_clock_us() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return uint64_t(t.tv_sec) * 1000000u + uint64_t(t.tv_nsec) / 1000u;
}

int sys_thread_start(void* (*entry)(void*), void* argument) {
    if (threads_started == 2) return 0;
    ThreadSlot& t = threads[threads_started];
    t.entry = entry;
    t.argument = argument;
    t.done.store(false, std::memory_order_relaxed);
    if (pthread_create(&t.thread, nullptr, thread_main, &t) != 0) return 0;
    return ++threads_started;
}

bool sys_thread_wait(int handle, uint32_t timeout_us) {
    if (handle <= 0 || handle > threads_started || !threads[handle - 1].entry) return true;
    ThreadSlot& t = threads[handle - 1];
    // A sleep may last a whole clock tick, so the time is read rather than the sleeps counted.
    const uint64_t start = sys_clock_us();
    while (!t.done.load(std::memory_order_acquire)) {
        if (sys_clock_us() - start >= timeout_us) return false;
        ::usleep(THREAD_LOOK_US);
    }
    pthread_join(t.thread, nullptr);
    t.entry = nullptr;
    return true;
}

int sys_atexit(void (*handler)()) { return std::atexit(handler); }
void sys_exit(int status) { std::exit(status); }
int sys_chdir(const char* path) { return ::chdir(path); }
int sys_execl(const char* path, const char* arg0) { return ::execl(path, arg0, static_cast<char*>(nullptr)); }

void sys_write_port16(volatile uint16_t* port, const uint16_t* values, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) *port = values[i];
}

void sys_register_poll() {}

FILE* sys_fopen(const char* path, const char* mode) { return std::fopen(path, mode); }
DIR* sys_opendir(const char* path) { return ::opendir(path); }
