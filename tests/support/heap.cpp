#include "tests/support/heap.h"

#include <atomic>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELKORO_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELKORO_SANITIZER_ALLOCATOR 1
#endif

#ifdef VELKORO_SANITIZER_ALLOCATOR
// The sanitizers' allocator interface (GCC ships the runtime but not its header).
extern "C" {
size_t __sanitizer_get_current_allocated_bytes();
size_t __sanitizer_get_allocated_size(const volatile void* p);
int __sanitizer_install_malloc_and_free_hooks(void (*on_malloc)(const volatile void*, size_t),
                                              void (*on_free)(const volatile void*));
}
#endif

namespace {

std::atomic<bool> measuring{false};
std::atomic<long long> level{0}, highest{0};

#ifdef VELKORO_SANITIZER_ALLOCATOR
void on_malloc(const volatile void* p, size_t) {
    if (!measuring.load(std::memory_order_relaxed)) return;
    long long size = static_cast<long long>(__sanitizer_get_allocated_size(p));
    long long now = level.fetch_add(size) + size;
    for (long long h = highest.load(); now > h && !highest.compare_exchange_weak(h, now);) {
    }
}

void on_free(const volatile void* p) {
    if (!measuring.load(std::memory_order_relaxed)) return;
    level.fetch_sub(static_cast<long long>(__sanitizer_get_allocated_size(p)));
}

bool hooks_installed = false;
#endif

} // namespace

size_t heap_in_use() {
#ifdef VELKORO_SANITIZER_ALLOCATOR
    return __sanitizer_get_current_allocated_bytes();
#else
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

size_t resident_bytes() {
    int fd = open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return 0;
    char text[128];
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return 0;
    text[n] = '\0';
    // Second field: resident pages.
    const char* p = text;
    while (*p && *p != ' ') ++p;
    size_t pages = 0;
    for (++p; *p >= '0' && *p <= '9'; ++p) pages = pages * 10 + size_t(*p - '0');
    return pages * size_t(sysconf(_SC_PAGESIZE));
}

bool heap_peak_available() {
#ifdef VELKORO_SANITIZER_ALLOCATOR
    return true;
#else
    return false;
#endif
}

HeapPeak::HeapPeak() {
#ifdef VELKORO_SANITIZER_ALLOCATOR
    if (!hooks_installed) {
        __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
        hooks_installed = true;
    }
#endif
    level.store(0);
    highest.store(0);
    measuring.store(true);
}

HeapPeak::~HeapPeak() { measuring.store(false); }

size_t HeapPeak::peak() const { return size_t(highest.load()); }
