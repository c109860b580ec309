// The process start of velkoro.gpe. The kernel enters at _start with the stack holding argc, the
// argument pointers, a null, the environment pointers and a null; the C library's data and the
// program's zero-initialised data are already in place (the kernel loads and clears them). The
// start makes sure the standard descriptors are open, keeps the environment for execve, runs the
// static constructors, calls main and leaves through exit, so that the exit handlers (the
// platform's shut-down among them) run.
#include "platform/gp2x_os/linux.h"

#include <cstdlib>

extern "C" {
int main(int argc, char** argv);
void __libc_init_array();
[[noreturn]] void velkoro_os_start(int argc, char** argv, char** envp);

// The environment, for getenv and for the menu program that execve starts.
char** environ;

// The constructors all live in .init_array; nothing is placed in the old .init and .fini
// sections, whose entry points the C library still calls.
void _init() {}
void _fini() {}
// The handle that static destructors are registered under (a program with no shared libraries
// has only this one).
void* __dso_handle = nullptr;
}

// The frame pointer and link register start at 0 so that nothing unwinds past the start; the
// stack is aligned to 8 bytes, as calls expect.
asm(R"(
    .text
    .arm
    .global _start
    .type _start, %function
_start:
    mov fp, #0
    mov lr, #0
    ldr r0, [sp]
    add r1, sp, #4
    add r2, r1, r0, lsl #2
    add r2, r2, #4
    bic sp, sp, #7
    bl velkoro_os_start
    .size _start, . - _start
)");

namespace {

// A program started with standard input, output or error closed would hand those numbers to the
// first files it opens: the first device could become descriptor 0, which the hardware adapter
// takes for "not open", and the C library's messages could land in it. Each free one of the three
// is filled with /dev/null (an open takes the lowest free number).
void fill_standard_descriptors() {
    for (;;) {
        int32_t fd = linux_call<linux_nr::OPEN>(linux_arg("/dev/null"), linux_flag::READ_WRITE);
        if (linux_failed(fd)) return;
        if (fd > 2) {
            linux_call<linux_nr::CLOSE>(uint32_t(fd));
            return;
        }
    }
}

} // namespace

void velkoro_os_start(int argc, char** argv, char** envp) {
    fill_standard_descriptors();
    environ = envp;
    __libc_init_array();
    std::exit(main(argc, argv));
}
