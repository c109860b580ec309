// The console's 64 KB address space as one flat byte image: BIOS at 0x0000, an empty expansion
// area, 1 KB of RAM seen eight times over 0x6000-0x7FFF, the cartridge at 0x8000. The processor
// reads cpu_memory directly; every write goes through cpu_write (declared with the processor),
// which stores only into RAM and keeps the eight RAM windows equal. The loader creates and frees
// the image once per game.
#pragma once
#include <cstdint>

constexpr uint32_t CPU_MEMORY_BYTES = 0x10000;
constexpr uint16_t RAM_START = 0x6000;
constexpr uint16_t RAM_END = 0x7FFF;
constexpr uint16_t RAM_MIRROR_MASK = 0x03FF;

extern uint8_t* cpu_memory;
void cpu_write(uint16_t address, uint8_t value);

// RAM's part of the machine's state record (machine/state.h): the 1 KB once, put back into all
// eight windows. A load puts its part in place only when `commit` is set.
struct RecordWriter;
struct RecordReader;
void memory_save(RecordWriter* w);
bool memory_load(RecordReader* r, bool commit);
