// The hardware adapter's seam (platform/gp2x/system.h) on the handheld's own system layer: every
// call is a Linux 2.4 system call made here, with no C library below it except for the buffered
// files of the card and the exit handlers. The audio thread runs these functions too, so they
// keep no state of their own and never touch errno.
#include "platform/gp2x/system.h"
#include "platform/gp2x_os/linux.h"

#include <cstdlib>

namespace {

// clone as the handheld's kernel takes it: one address space, file table, working folder and
// signal handlers shared with the main thread; the thread-group and semaphore flags are what a
// newer kernel (and qemu) ask of a thread, and Linux 2.4 keeps or ignores them. No signal
// reports the thread's end: the main thread learns it from the thread's end word.
constexpr uint32_t CLONE_VM = 0x100, CLONE_FS = 0x200, CLONE_FILES = 0x400, CLONE_SIGHAND = 0x800;
constexpr uint32_t CLONE_THREAD = 0x10000, CLONE_SYSVSEM = 0x40000;
constexpr uint32_t THREAD_FLAGS =
    CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SIGHAND | CLONE_THREAD | CLONE_SYSVSEM;

// The adapter starts one thread; a second slot costs only its stack.
constexpr int THREAD_SLOTS = 2;
constexpr uint32_t THREAD_STACK_BYTES = 64 * 1024;
// How often a bounded wait looks at a thread's end word.
constexpr uint32_t THREAD_LOOK_US = 1000;

struct ThreadSlot {
    int32_t id;             // the kernel's process id of the thread, 0 = slot free
    volatile uint32_t done; // set by the thread as its last store, just before it leaves
    alignas(8) uint8_t stack[THREAD_STACK_BYTES];
};
ThreadSlot threads[THREAD_SLOTS];

} // namespace

// Starts entry(argument) on `stack_top` and returns the new thread's id (or a failure). The thread
// first asks the kernel to kill it when its parent, the main thread, dies: Linux 2.4 ends only
// the thread that crashed, and an audio thread left behind would hold the sound device for ever.
// It returns into the end of this routine: it stores 1 into *done and leaves with the exit
// call, using no stack, so that once *done reads 1 its stack may be used again.
extern "C" int32_t velkoro_os_clone(uint32_t flags, void* stack_top, void* (*entry)(void*), void* argument,
                                    volatile uint32_t* done);
asm(R"(
    .text
    .arm
    .global velkoro_os_clone
    .type velkoro_os_clone, %function
velkoro_os_clone:
    stmfd sp!, {r4, r5, r6, lr}
    mov r4, r2
    mov r5, r3
    ldr r6, [sp, #16]
    swi 0x900078
    cmp r0, #0
    beq 1f
    ldmfd sp!, {r4, r5, r6, lr}
    bx lr
1:  mov r0, #1
    mov r1, #9
    swi 0x9000ac
    mov r0, r5
    mov lr, pc
    bx r4
    mov r0, #1
    str r0, [r6]
    mov r0, #0
    swi 0x900001
    .size velkoro_os_clone, . - velkoro_os_clone
)");
static_assert(linux_nr::CLONE == 0x78 && linux_nr::EXIT == 1 && linux_nr::PRCTL == 0xAC,
              "the numbers in velkoro_os_clone");
static_assert(linux_flag::SET_PARENT_DEATH_SIGNAL == 1 && linux_flag::KILL_SIGNAL == 9,
              "the prctl arguments in velkoro_os_clone");

int sys_open(const char* path, int flags) {
    char buffer[OS_PATH_BYTES];
    const char* p = os_path(path, buffer);
    if (!p) return -1;
    return linux_call<linux_nr::OPEN>(linux_arg(p), uint32_t(flags));
}

int sys_close(int fd) { return linux_call<linux_nr::CLOSE>(uint32_t(fd)); }

int32_t sys_read(int fd, void* buffer, uint32_t bytes) {
    return linux_call<linux_nr::READ>(uint32_t(fd), linux_arg(buffer), bytes);
}

int32_t sys_write(int fd, const void* buffer, uint32_t bytes) {
    return linux_call<linux_nr::WRITE>(uint32_t(fd), linux_arg(buffer), bytes);
}

int sys_ioctl(int fd, uint32_t request, void* argument) {
    return linux_call<linux_nr::IOCTL>(uint32_t(fd), request, linux_arg(argument));
}

// mmap2 takes the file offset in 4096-byte pages, so that the register block at 0xC0000000 is
// reached with a 32-bit argument.
void* sys_mmap(uint32_t length, int prot, int flags, int fd, uint32_t offset) {
    if (offset & ((1u << linux_flag::PAGE_SHIFT) - 1)) return nullptr;
    int32_t r = linux_call<linux_nr::MMAP2>(0, length, uint32_t(prot), uint32_t(flags), uint32_t(fd),
                                            offset >> linux_flag::PAGE_SHIFT);
    if (linux_failed(r)) return nullptr;
    return reinterpret_cast<void*>(uintptr_t(uint32_t(r)));
}

int sys_munmap(void* address, uint32_t length) {
    return linux_call<linux_nr::MUNMAP>(linux_arg(address), length);
}

void sys_sleep_us(uint32_t microseconds) {
    LinuxTimespec t{int32_t(microseconds / 1000000), int32_t(microseconds % 1000000 * 1000)};
    linux_call<linux_nr::NANOSLEEP>(linux_arg(&t), 0);
}

// Linux 2.4 has no monotonic clock call; the time of day stands in (it is used only when the
// handheld's own timer could not be mapped).
uint64_t sys_clock_us() {
    int32_t now[2] = {0, 0};
    linux_call<linux_nr::GETTIMEOFDAY>(linux_arg(now), 0);
    return uint64_t(uint32_t(now[0])) * 1000000u + uint32_t(now[1]);
}

int sys_thread_start(void* (*entry)(void*), void* argument) {
    for (int i = 0; i < THREAD_SLOTS; ++i) {
        ThreadSlot& t = threads[i];
        if (t.id != 0) continue;
        t.done = 0;
        int32_t id = velkoro_os_clone(THREAD_FLAGS, t.stack + THREAD_STACK_BYTES, entry, argument, &t.done);
        if (linux_failed(id) || id == 0) return 0;
        t.id = id;
        return i + 1;
    }
    return 0;
}

bool sys_thread_wait(int handle, uint32_t timeout_us) {
    if (handle <= 0 || handle > THREAD_SLOTS) return true;
    ThreadSlot& t = threads[handle - 1];
    if (t.id == 0) return true;
    // Linux 2.4 sleeps in whole clock ticks of 10 ms, so the time is read rather than the sleeps
    // counted; the count still ends the wait should the time of day stand still.
    const uint64_t start = sys_clock_us();
    for (uint32_t looks = 0; t.done == 0; ++looks) {
        if (sys_clock_us() - start >= timeout_us || looks >= timeout_us / THREAD_LOOK_US) return false;
        sys_sleep_us(THREAD_LOOK_US);
    }
    // Linux 2.4 keeps the finished thread as a child until it is collected; a kernel that counts
    // it as a thread of this process answers that there is no such child.
    linux_call<linux_nr::WAIT4>(uint32_t(t.id), 0, linux_flag::WAIT_CLONES, 0);
    t.id = 0;
    return true;
}

int sys_atexit(void (*handler)()) { return std::atexit(handler); }
void sys_exit(int status) { std::exit(status); }

int sys_chdir(const char* path) {
    char buffer[OS_PATH_BYTES];
    const char* p = os_path(path, buffer);
    if (!p) return -1;
    return linux_call<linux_nr::CHDIR>(linux_arg(p));
}

int sys_execl(const char* path, const char* arg0) {
    char buffer[OS_PATH_BYTES];
    const char* p = os_path(path, buffer);
    if (!p) return -1;
    const char* argv[2] = {arg0, nullptr};
    return linux_call<linux_nr::EXECVE>(linux_arg(p), linux_arg(argv), linux_arg(environ));
}

void sys_write_port16(volatile uint16_t* port, const uint16_t* values, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) *port = values[i];
}

void sys_register_poll() {}

FILE* sys_fopen(const char* path, const char* mode) { return std::fopen(path, mode); }
DIR* sys_opendir(const char* path) { return opendir(path); }
