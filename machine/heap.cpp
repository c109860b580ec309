// The program's heap blocks.
#include "machine/heap.h"

#include <cstdlib>

uint32_t program_blocks_live = 0;
size_t program_failing_bytes = 0;

void* program_alloc(size_t bytes) {
    if (bytes == program_failing_bytes) return nullptr;
    void* block = std::malloc(bytes);
    if (block) ++program_blocks_live;
    return block;
}

void program_free(void* block) {
    if (!block) return;
    --program_blocks_live;
    std::free(block);
}
