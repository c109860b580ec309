// A finished screen row stored eight words to an instruction, for ARM processors. On the handheld
// the screen is uncached and unbuffered memory: each store instruction stalls until the bus has
// taken it, so a row of 136 words goes as 17 store-multiples rather than 136 single stores. The
// row itself was made in cached memory, from where the load-multiples read it quickly.
#include "video/present_wide.h"

void present_store_row(uint16_t* screen, const uint32_t* row, int words) {
    const uint32_t* end = row + words;
    asm volatile("1:\n\t"
                 "ldmia %[row]!, {r3, r4, r5, r6, r7, r8, r10, r12}\n\t"
                 "stmia %[screen]!, {r3, r4, r5, r6, r7, r8, r10, r12}\n\t"
                 "cmp %[row], %[end]\n\t"
                 "bne 1b"
                 : [row] "+r"(row), [screen] "+r"(screen)
                 : [end] "r"(end)
                 : "r3", "r4", "r5", "r6", "r7", "r8", "r10", "r12", "cc", "memory");
}
