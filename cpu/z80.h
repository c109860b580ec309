// The console's Z80 processor: register state, flag and cycle tables, the cycle-budgeted run
// loop and interrupt acceptance. The machine (machine/) owns the one Z80State, calls cpu_reset
// and cpu_run once per game, and supplies the callbacks declared at the bottom; a test machine
// may supply its own. Reads go straight to cpu_memory (or, above 0xC000, to the banks of a
// bank-switched cartridge), every write goes through cpu_write.
#pragma once
#include <cstdint>

// A register pair: both 8-bit halves are plain fields; the 16-bit value is composed from them
// explicitly (no type punning), which keeps 8-bit work, the common case, a single byte access.
struct Z80Pair {
    uint8_t lo, hi;
    constexpr uint16_t w() const { return uint16_t(hi << 8 | lo); }
    constexpr void set(uint16_t v) {
        lo = uint8_t(v);
        hi = uint8_t(v >> 8);
    }
};

struct Z80State {
    Z80Pair AF, BC, DE, HL, IX, IY; // F, C, E, L and the index low bytes are the lo halves
    uint16_t PC, SP;
    Z80Pair AF2, BC2, DE2, HL2;
    uint8_t iff;
    uint8_t I;
    uint8_t R;
    int32_t cycle_period;
    int32_t cycles_left;
    int32_t cycles_saved;
    uint16_t irq_request;
    uint8_t irq_auto_reset;
};

// cpu_hook results.
constexpr uint16_t HOOK_NONE = 0xFFFF;
constexpr uint16_t HOOK_STOP = 0xFFFE;
constexpr uint16_t HOOK_NMI = 0x0066;

// iff bits.
constexpr uint8_t IFF_1 = 0x01;
constexpr uint8_t IFF_IM1 = 0x02;
constexpr uint8_t IFF_IM2 = 0x04;
constexpr uint8_t IFF_AFTER_EI = 0x20;
constexpr uint8_t IFF_2 = 0x40;
constexpr uint8_t IFF_HALTED = 0x80;

// A run of this many consecutive instructions that cost nothing (prefixes in front of
// instructions that do not use HL, undefined ED opcodes) ends the slice, so that a program
// made only of them still reaches cpu_hook.
constexpr uint32_t ZERO_COST_RUN_LIMIT = 4096;

// A bank-switched cartridge's top quarter of the address space: 0xC000-0xFFFF shows one 16 KB
// bank of `image`, and any read of 0xFFC0-0xFFFF (instruction fetch, data, stack, block
// instruction, interrupt vector) first selects bank (address AND mask). The machine owns the
// record and the image; the core keeps `bank` up to date.
constexpr uint16_t Z80_BANK_WINDOW = 0xC000;
constexpr uint16_t Z80_BANK_SELECT = 0xFFC0;
constexpr uint32_t Z80_BANK_BYTES = 0x4000;

struct Z80Banks {
    uint8_t* image;
    uint32_t mask; // number of banks - 1 (a power of two less one)
    uint32_t bank; // the bank the window shows
};

void cpu_reset(Z80State* s);
uint16_t cpu_run(Z80State* s);
// cpu_run for a bank-switched cartridge: cpu_memory below 0xC000, the banks above. A second
// instantiation of the same run loop, so that plain cartridges keep reads of one indexed load.
uint16_t cpu_run_banked(Z80State* s, Z80Banks* banks);
void cpu_interrupt(Z80State* s, uint16_t vector);

// Supplied by the machine that links the core.
extern uint8_t* cpu_memory;
void cpu_write(uint16_t address, uint8_t value);
uint8_t cpu_in(uint16_t port);
void cpu_out(uint16_t port, uint8_t value);
// OTIR and OTDR hand the machine all the bytes they send within a slice at once: `count` bytes
// (1..256) from memory at `address` on, stepping by `step` (+1 or -1, wrapping at 64 KB), all to
// `port`, as `count` calls of cpu_out would. A machine with nothing faster for a port sends them
// through cpu_out_each.
void cpu_out_run(uint16_t port, uint16_t address, int step, uint32_t count);
inline void cpu_out_each(uint16_t port, uint16_t address, int step, uint32_t count) {
    for (; count != 0; --count, address = uint16_t(address + step)) cpu_out(port, cpu_memory[address]);
}
uint16_t cpu_hook(Z80State* s);
void cpu_patch(Z80State* s);
