// The program's own heap blocks: the back buffer and the picture buffer, which live until the
// process ends, and each game's memory and video memory. They all come from program_alloc and go
// back through program_free, which count them; tests can make the allocation of a given size
// fail, to reach the failure paths of start-up, the play cycle and the loader.
#pragma once
#include <cstddef>
#include <cstdint>

// A block of `bytes` bytes (contents undefined), or nullptr.
void* program_alloc(size_t bytes);
// Frees a block of program_alloc; nullptr is ignored.
void program_free(void* block);

// Blocks allocated and not yet freed.
extern uint32_t program_blocks_live;
// An allocation of exactly this many bytes fails; 0 = none does.
extern size_t program_failing_bytes;
