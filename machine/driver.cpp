// Temporary frame driver: ends the game at the first slice end.
#include "machine/driver.h"
#include "cpu/z80.h"

int32_t cycles_per_line = 215;
int32_t cycles_per_frame = 60000;
uint8_t frame_skip = 2;
uint8_t scanline = 0;
uint8_t skip_countdown = 0;
uint8_t quit_request = 0;

uint16_t cpu_hook(Z80State*) { return HOOK_STOP; }
void cpu_patch(Z80State*) {}
