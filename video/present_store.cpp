// A finished screen row stored as a plain copy: on these hosts the screen is ordinary memory.
#include "video/present_wide.h"

#include <cstring>

void present_store_row(uint16_t* screen, const uint32_t* row, int words) {
    std::memcpy(screen, row, size_t(words) * sizeof *row);
}
