// The console's 64 KB address space as one flat byte image: BIOS at 0x0000, an empty expansion
// area, 1 KB of RAM seen eight times over 0x6000-0x7FFF, the cartridge at 0x8000. The processor
// reads cpu_memory directly; every write goes through cpu_write (declared with the processor),
// which stores only into RAM and keeps the eight RAM windows equal. The loader creates and frees
// the image once per game.
//
// Two additions change what the image shows. A MegaCart (a bank-switched cartridge over 32 KB)
// keeps its whole image in a block of its own: its last bank is copied to 0x8000-0xBFFF, and
// the processor's banked run loop reads 0xC000-0xFFFF from the bank `megacart` names. The Super
// Game Module, always fitted, swaps its RAM into the image when a game turns it on (ports 0x53
// and 0x7F): 24 KB over 0x2000-0x7FFF and 8 KB over the BIOS; what it covers waits in the
// module's record until it is turned off again. Both records are plain program-wide state: the
// one host pointer, the MegaCart's image, is made again by loading the same file.
#pragma once
#include <cstdint>

#include "cpu/z80.h"

constexpr uint32_t CPU_MEMORY_BYTES = 0x10000;
constexpr uint16_t RAM_START = 0x6000;
constexpr uint16_t RAM_END = 0x7FFF;
constexpr uint16_t RAM_MIRROR_MASK = 0x03FF;

extern uint8_t* cpu_memory;
void cpu_write(uint16_t address, uint8_t value);

// --- MegaCart ---

// A MegaCart's file: a power of two of 64 KB to 1 MB whose last 16 KB bank starts with the
// cartridge signature.
constexpr uint32_t MEGACART_MIN_BYTES = 0x10000;
constexpr uint32_t MEGACART_MAX_BYTES = 0x100000;

// image is nullptr for a plain cartridge; bank 0 is shown when a game starts.
extern Z80Banks megacart;

bool megacart_size_ok(long bytes);
// Shows the loaded image's last bank at 0x8000-0xBFFF and bank 0 at 0xC000-0xFFFF.
void megacart_start(uint32_t bytes);
// Frees the image (the loader's release).
void megacart_release();

// Runs the processor for the loaded game: the banked run loop for a MegaCart, the plain one
// otherwise.
uint16_t cpu_run_game(Z80State* s);

// --- Super Game Module ---

constexpr uint8_t SGM_UPPER_RAM = 0x01; // 24 KB over 0x2000-0x7FFF (port 0x53 bit 0 set)
constexpr uint8_t SGM_BIOS_RAM = 0x02;  // 8 KB over 0x0000-0x1FFF (port 0x7F bit 1 clear)
constexpr uint16_t SGM_RAM_BYTES = 0x8000;

struct SgmState {
    uint8_t mapped; // SGM_UPPER_RAM | SGM_BIOS_RAM
    // Indexed like the address space 0x0000-0x7FFF: the module's RAM where it is not mapped,
    // and where it is, what it covers (the BIOS, the expansion area and the RAM windows).
    uint8_t hidden[SGM_RAM_BYTES];
};

extern SgmState sgm;

// A new game: the module off, its RAM zeroed.
void sgm_reset();
// Maps the module's RAM as `mapped` says (SGM_* bits); only the parts that change move. The one
// way to change sgm.mapped: the write side keeps a word of its own in step with it.
void sgm_map(uint8_t mapped);
