// The memory map's write side.
#include "machine/memory.h"

uint8_t* cpu_memory = nullptr;

void cpu_write(uint16_t address, uint8_t value) {
    // BIOS, expansion area and cartridge are read-only; RAM is mirrored on the write side so
    // that reads stay a plain index into the image.
    if (uint16_t(address - RAM_START) > RAM_END - RAM_START) return;
    uint8_t* ram = cpu_memory + RAM_START + (address & RAM_MIRROR_MASK);
    for (unsigned window = 0; window < 8; ++window) ram[window * 0x400] = value;
}
