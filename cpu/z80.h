// The console's Z80 processor: register state, the cycle-budgeted run loop and interrupt
// acceptance. The machine (machine/) owns the one Z80State, calls cpu_reset and cpu_run once
// per game, and supplies the callbacks declared at the bottom; a test machine may supply its
// own. Reads go straight to cpu_memory, every write goes through cpu_write.
#pragma once
#include <cstdint>

// A register pair: the 16-bit value and its two 8-bit halves are all directly addressable.
struct Z80Pair {
    uint16_t w;
};

struct Z80State {
    Z80Pair AF, BC, DE, HL, IX, IY;
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

void cpu_reset(Z80State* s);
uint16_t cpu_run(Z80State* s);
void cpu_interrupt(Z80State* s, uint16_t vector);

// Supplied by the machine that links the core.
extern uint8_t* cpu_memory;
void cpu_write(uint16_t address, uint8_t value);
uint8_t cpu_in(uint16_t port);
void cpu_out(uint16_t port, uint8_t value);
uint16_t cpu_hook(Z80State* s);
void cpu_patch(Z80State* s);
