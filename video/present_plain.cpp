// Hosts without a wide presentation path (the handheld among them).
#include "video/present_wide.h"

bool present_rows_wide(const uint8_t*, int, uint16_t*, int, int, int, const uint16_t*) { return false; }
