// What the program holds on the heap, for the memory checks: the allocator's own count of bytes
// in use (the sanitizer's allocator in a sanitizer build, the C library's otherwise), the
// resident set size, and the peak of the heap over a stretch of code where the allocator can
// report every allocation (the sanitizer builds).
#pragma once
#include <cstddef>

size_t heap_in_use();

// Resident set size in bytes, read without allocating.
size_t resident_bytes();

// Whether HeapPeak can measure in this build.
bool heap_peak_available();

// Measures the most the heap held above its level at construction, up to peak() (0 where the
// build cannot tell). One at a time.
struct HeapPeak {
    HeapPeak();
    ~HeapPeak();
    size_t peak() const;
    HeapPeak(const HeapPeak&) = delete;
    HeapPeak& operator=(const HeapPeak&) = delete;
};
