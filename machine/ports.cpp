// Temporary port map: nothing is connected yet.
#include "machine/ports.h"
#include "cpu/z80.h"

uint8_t controller_mode = 0;
uint16_t controller_words[2] = {0xFFFF, 0xFFFF};

uint8_t cpu_in(uint16_t) { return 0xFF; }
void cpu_out(uint16_t, uint8_t) {}
void poll_controllers() {}
