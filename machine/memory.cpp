// The memory map's write side.
#include "machine/memory.h"
#include "machine/record.h"

#include <cstring>

uint8_t* cpu_memory = nullptr;

void cpu_write(uint16_t address, uint8_t value) {
    // BIOS, expansion area and cartridge are read-only; RAM is mirrored on the write side so
    // that reads stay a plain index into the image.
    if (uint16_t(address - RAM_START) > RAM_END - RAM_START) return;
    uint8_t* ram = cpu_memory + RAM_START + (address & RAM_MIRROR_MASK);
    for (unsigned window = 0; window < 8; ++window) ram[window * 0x400] = value;
}

void memory_save(RecordWriter* w) { record_bytes(w, cpu_memory + RAM_START, RAM_MIRROR_MASK + 1); }

bool memory_load(RecordReader* r, bool commit) {
    const uint8_t* ram = read_span(r, RAM_MIRROR_MASK + 1);
    if (!ram || !commit) return r->ok;
    for (uint32_t window = RAM_START; window < RAM_END; window += RAM_MIRROR_MASK + 1)
        std::memcpy(cpu_memory + window, ram, RAM_MIRROR_MASK + 1);
    return true;
}
