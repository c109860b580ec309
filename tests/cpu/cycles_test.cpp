// Walks every opcode of every prefix and checks the cycles charged against the cost tables,
// written out here from the instruction set's own cost lists.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "tests/cpu/test_machine.h"

namespace {

const char* const main_costs[16] = {
    "4 10 7 6 4 4 7 4 4 11 7 6 4 4 7 4",
    "8 10 7 6 4 4 7 4 12 11 7 6 4 4 7 4",
    "7 10 16 6 4 4 7 4 7 11 16 6 4 4 7 4",
    "7 10 13 6 11 11 10 4 7 11 13 6 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "7 7 7 7 7 7 4 7 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "4 4 4 4 4 4 7 4 4 4 4 4 4 4 7 4",
    "5 10 10 10 10 11 7 11 5 10 10 0 10 17 7 11",
    "5 10 10 11 10 11 7 11 5 4 10 11 10 0 7 11",
    "5 10 10 19 10 11 7 11 5 4 10 4 10 0 7 11",
    "5 10 10 4 10 11 7 11 5 6 10 4 10 0 7 11",
};

int main_cost(int op) {
    const char* p = main_costs[op >> 4];
    for (int i = 0; i < (op & 15); ++i) p = std::strchr(p, ' ') + 1;
    return std::atoi(p);
}

bool listed(int op, std::initializer_list<int> ops) {
    for (int o : ops)
        if (o == op) return true;
    return false;
}

int ed_cost(int op) {
    if (listed(op,
               {0x40, 0x41, 0x48, 0x49, 0x50, 0x51, 0x58, 0x59, 0x60, 0x61, 0x68, 0x69, 0x70, 0x78, 0x79}))
        return 12;
    if (op >= 0x40 && op < 0x80 && (op & 7) == 2) return 15;
    if (op >= 0x40 && op < 0x80 && (op & 7) == 3) return 20;
    if (listed(op, {0x44, 0x46, 0x56, 0x5E})) return 8;
    if (listed(op, {0x45, 0x4D})) return 14;
    if (listed(op, {0x47, 0x4F, 0x57, 0x5F})) return 9;
    if (listed(op, {0x67, 0x6F})) return 18;
    if (op >= 0xA0 && op < 0xB0 && (op & 4) == 0) return 16;
    return 0;
}

int index_cost(int op) {
    if (listed(op, {0x09, 0x19, 0x29, 0x39, 0xE5})) return 15;
    if (listed(op, {0x21, 0xE1})) return 14;
    if (listed(op, {0x22, 0x2A})) return 20;
    if (listed(op, {0x23, 0x2B, 0xF9})) return 10;
    if (listed(op, {0x34, 0x35, 0xE3})) return 23;
    if (op == 0xE9) return 8;
    bool uses_h = (op >= 0x40 && op < 0xC0 && ((op & 7) == 4 || (op & 7) == 5)) ||
                  (op >= 0x60 && op < 0x70) || listed(op, {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E});
    bool uses_memory = (op >= 0x40 && op < 0xC0 && (op & 7) == 6) || (op >= 0x70 && op < 0x78) || op == 0x36;
    if (uses_memory) return 19;
    if (uses_h && op < 0xC0) return 9;
    return 0;
}

enum Prefix { NONE, CB, ED, DD, FD, DDCB, FDCB };

struct Probe {
    uint8_t f;
    uint16_t bc;
    uint8_t filler;
};

// Cost of the instruction, taken branches and block iterations included.
int expected_cost(Prefix prefix, int op, const Probe& s) {
    bool z = s.f & 0x40, c = s.f & 0x01, pv = s.f & 0x04, sg = s.f & 0x80;
    bool cc[8] = {!z, z, !c, c, !pv, pv, !sg, sg};
    uint8_t b = uint8_t(s.bc >> 8);
    switch (prefix) {
    case NONE: {
        int cost = main_cost(op);
        if (op == 0x10 && uint8_t(b - 1) != 0) cost += 5;
        if (op >= 0x20 && op < 0x40 && (op & 7) == 0 && cc[(op >> 3) - 4]) cost += 5;
        if (op >= 0xC0 && (op & 7) == 4 && cc[(op >> 3) & 7]) cost += 7;
        if (op >= 0xC0 && (op & 7) == 0 && cc[(op >> 3) & 7]) cost += 6;
        return cost;
    }
    case CB: return (op & 7) != 6 ? 8 : (op >> 6) == 1 ? 12 : 15;
    case ED:
        if (op >= 0xB0 && op < 0xC0 && (op & 4) == 0) {
            bool io = (op & 3) >= 2;
            bool last = io ? b == 1 : s.bc == 1;
            return last ? 16 : 21;
        }
        return ed_cost(op);
    case DD:
    case FD: return index_cost(op);
    default:
        if ((op >> 6) == 1) return 20;
        return (op & 7) == 6 ? 23 : 0;
    }
}

// Runs one instruction in a slice of one cycle; memory is filler everywhere else, so a
// zero-cost instruction is followed by the filler instruction (NOP, 4, or LD (HL),A, 7).
int32_t measured_slice_end(Prefix prefix, int op, const Probe& setup) {
    Z80State s;
    test_machine_reset(s, 1);
    std::memset(test_machine.ram, setup.filler, sizeof test_machine.ram);
    const uint8_t lead[7][3] = {{}, {0xCB}, {0xED}, {0xDD}, {0xFD}, {0xDD, 0xCB, 0x05}, {0xFD, 0xCB, 0x05}};
    const int lead_length[7] = {0, 1, 1, 1, 1, 3, 3};
    uint16_t a = 0x1000;
    for (int i = 0; i < lead_length[prefix]; ++i) test_machine.ram[a++] = lead[prefix][i];
    test_machine.ram[a] = uint8_t(op);
    s.PC = 0x1000;
    s.AF = {setup.f, 0x55};
    s.BC.set(setup.bc);
    s.HL.set(0x2000);
    s.DE.set(0x3000);
    s.IX.set(0x4000);
    s.IY.set(0x4000);
    s.SP = 0x8000;
    cpu_run(&s);
    return test_machine.hook_cycles_left.at(0);
}

} // namespace

TEST(Cycles, EveryOpcodeOfEveryPrefixChargesItsTableCost) {
    const Probe setups[] = {{0x00, 0x0101, 0x00}, {0xFF, 0x0201, 0x00}, {0x00, 0x0001, 0x77},
                            {0xFF, 0x0101, 0x77}, {0x41, 0x0201, 0x00}, {0x84, 0x0001, 0x00}};
    const char* names[7] = {"", "CB ", "ED ", "DD ", "FD ", "DD CB d ", "FD CB d "};
    int checked = 0;
    for (int p = NONE; p <= FDCB; ++p)
        for (int op = 0; op < 256; ++op)
            for (const Probe& setup : setups) {
                Prefix prefix = Prefix(p);
                int32_t seen = measured_slice_end(prefix, op, setup);
                int32_t expected;
                // A prefix byte (or a repeated prefix) takes the filler as its opcode.
                Prefix chained = NONE;
                if (prefix == NONE && op == 0xCB) chained = CB;
                if ((prefix == NONE || prefix == ED) && op == 0xED) chained = ED;
                if (op == 0xDD || op == 0xFD)
                    chained = prefix == NONE || prefix == DD || prefix == FD ? DD : NONE;
                if ((prefix == DD || prefix == FD) && op == 0xCB) chained = DDCB;
                int cost = chained != NONE ? expected_cost(chained, setup.filler, setup)
                                           : expected_cost(prefix, op, setup);
                if (op == 0x76 && (prefix == NONE || prefix == DD || prefix == FD))
                    expected = 0; // HALT ends the slice at once
                else
                    expected = 1 - (cost ? cost : setup.filler ? 7 : 4);
                ASSERT_EQ(seen, expected) << names[p] << std::hex << op << " F=" << int(setup.f)
                                          << " BC=" << setup.bc << " filler=" << int(setup.filler);
                ++checked;
            }
    EXPECT_EQ(checked, 7 * 256 * 6);
}
