// The handheld adapter's only road to the operating system: every call it makes to open, map,
// ask, write, sleep, start a thread, leave or replace the process goes through these plain
// functions. Two implementations exist. system_libc.cpp makes the real calls through the C
// library and runs only on the handheld (on a PC, /dev/mem is somebody else's hardware); the
// handheld's own system layer can implement the same list with direct system calls. The
// simulated handheld (sim/) stands in for the devices, the register block and the menu program,
// so that the adapter above it is tested unchanged on any machine.
//
// Types are fixed-width integers and plain pointers; flag values are Linux's own.
#pragma once
#include <cstdint>
#include <cstdio>
#include <dirent.h>

constexpr int SYS_O_RDONLY = 0;
constexpr int SYS_O_WRONLY = 1;
constexpr int SYS_O_RDWR = 2;
constexpr int SYS_PROT_READ = 1;
constexpr int SYS_PROT_WRITE = 2;
constexpr int SYS_MAP_SHARED = 1;

// Returns a handle (>= 0) or a negative value on failure.
int sys_open(const char* path, int flags);
int sys_close(int fd);
// Byte counts moved, or negative on failure.
int32_t sys_read(int fd, void* buffer, uint32_t bytes);
int32_t sys_write(int fd, const void* buffer, uint32_t bytes);
// A device request; `argument` points at the request's record. Negative on failure.
int sys_ioctl(int fd, uint32_t request, void* argument);
// Maps `length` bytes of the device at byte `offset`; nullptr on failure (never the C library's
// MAP_FAILED).
void* sys_mmap(uint32_t length, int prot, int flags, int fd, uint32_t offset);
int sys_munmap(void* address, uint32_t length);

void sys_sleep_us(uint32_t microseconds);
// A monotonic clock in microseconds, used only when the register block (and with it the
// handheld's own timer) could not be mapped.
uint64_t sys_clock_us();

// Starts `entry(argument)` on a thread of its own, which the kernel ends when the process that
// started it dies (Linux 2.4 does not end a crashed program's other threads by itself). Returns
// a handle > 0, or 0 on failure.
int sys_thread_start(void* (*entry)(void*), void* argument);
// Waits at most `timeout_us` microseconds for that thread to return. True when it has (its
// handle is then free); false when it still runs (the handle stays valid for a later wait).
bool sys_thread_wait(int handle, uint32_t timeout_us);

int sys_atexit(void (*handler)());
[[noreturn]] void sys_exit(int status);
int sys_chdir(const char* path);
// Replaces the process with `path`, argument list (arg0). Returns only on failure.
int sys_execl(const char* path, const char* arg0);

// Writes `count` values, one after another, to the 16-bit data-port register at `port` (the
// gamma and palette loaders). A port takes each write as the next table entry, which plain
// memory cannot show, so the simulated handheld records the sequence.
void sys_write_port16(volatile uint16_t* port, const uint16_t* values, uint32_t count);

// Called just before the adapter reads the live registers (the timer counter or the input
// ports). The handheld does nothing here; the simulated handheld moves its clock and its
// scripted buttons, so that simulated time passes only while the program looks at it.
void sys_register_poll();

// The SD card's files and folders ("/mnt/sd/..."), as the C library's fopen and opendir.
FILE* sys_fopen(const char* path, const char* mode);
DIR* sys_opendir(const char* path);
