// Behaviour of the processor by instruction family: results, flags and cycles checked together.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "tests/cpu/test_machine.h"

namespace {

constexpr uint16_t START = 0x1000;

// Fresh machine with code at START and the processor about to run it.
Z80State machine_with(std::initializer_list<uint8_t> code, int32_t period = 1000) {
    Z80State s;
    test_machine_reset(s, period);
    load(START, code);
    s.PC = START;
    s.SP = 0x8000;
    return s;
}

// Runs one costing instruction (in a one-cycle slice) and returns the cycles it charged.
int32_t step(Z80State& s) {
    test_machine.hook_results.assign(1, HOOK_STOP);
    test_machine.hook_calls = 0;
    test_machine.hook_cycles_left.clear();
    s.cycles_left = 1;
    cpu_run(&s);
    return 1 - test_machine.hook_cycles_left.at(0);
}

} // namespace

TEST(RunLoop, ResetSlicesHooksAndHalt) {
    Z80State s = machine_with({});
    s.R = 0x5A;
    s.iff = 0xFF;
    cpu_reset(&s);
    EXPECT_EQ(s.PC, 0);
    EXPECT_EQ(s.SP, 0xF000);
    EXPECT_EQ(s.iff, 0);
    EXPECT_EQ(s.R, 0x5A);
    EXPECT_EQ(s.irq_request, HOOK_NONE);
    EXPECT_EQ(s.cycles_left, 1000);

    // Two 10-cycle JPs in a 17-cycle slice end it at -3; the next slice starts at 17.
    s = machine_with({0xC3, 0x03, 0x10, 0xC3, 0x03, 0x10}, 17);
    test_machine.hook_results = {HOOK_NONE, HOOK_NONE};
    uint16_t pc = cpu_run(&s);
    ASSERT_EQ(test_machine.hook_cycles_left.size(), 3u);
    EXPECT_EQ(test_machine.hook_cycles_left[0], -3);
    EXPECT_EQ(test_machine.hook_cycles_left[1], -3);
    EXPECT_EQ(pc, 0x1003); // HOOK_STOP returns the next instruction's address

    // HALT costs 4, ends the slice whatever is left, and repeats until an interrupt.
    s = machine_with({0x00, 0x76, 0x00}, 1000);
    test_machine.hook_results = {HOOK_NONE, HOOK_NONE};
    pc = cpu_run(&s);
    EXPECT_EQ(test_machine.hook_calls, 3u);
    EXPECT_EQ(test_machine.hook_cycles_left[0], 0);
    EXPECT_EQ(pc, START + 1);
    EXPECT_TRUE(s.iff & IFF_HALTED);
}

TEST(RunLoop, InterruptAcceptance) {
    // NMI is taken with IFF1 clear; a maskable interrupt is then dropped for good.
    Z80State s = machine_with({0x00, 0x00, 0x00, 0x00});
    s.cycle_period = 4;
    s.cycles_left = 4;
    test_machine.hook_results = {0x2000, HOOK_NONE};
    cpu_run(&s);
    EXPECT_EQ(test_machine.hook_pc[1], START + 2); // not diverted

    s = machine_with({0x00});
    s.cycles_left = s.cycle_period = 4;
    test_machine.hook_results = {HOOK_NMI};
    EXPECT_EQ(cpu_run(&s), 0x0067); // NOP at 0x0066 ran
    EXPECT_EQ(test_machine.ram[0x7FFF], 0x10);
    EXPECT_EQ(test_machine.ram[0x7FFE], 0x01);

    // NMI with IFF1 set: IFF2 keeps it, RETN restores it.
    s = machine_with({0x00});
    s.iff = IFF_1;
    load(0x0066, {0xED, 0x45});
    cpu_interrupt(&s, HOOK_NMI);
    EXPECT_EQ(s.PC, 0x0066);
    EXPECT_EQ(s.iff & (IFF_1 | IFF_2), IFF_2);
    EXPECT_EQ(step(s), 14);
    EXPECT_EQ(s.PC, START);
    EXPECT_EQ(s.iff & IFF_1, IFF_1);

    // Accepted while halted: the pushed address is the byte after the HALT; IM 1 goes to 0x38.
    s = machine_with({0xFB, 0xED, 0x56, 0x76}, 4);
    test_machine.hook_results = {HOOK_NONE, HOOK_NONE, 0x1234};
    cpu_run(&s);
    EXPECT_EQ(s.PC, 0x0039);
    EXPECT_EQ(test_machine.ram[0x7FFE] | test_machine.ram[0x7FFF] << 8, START + 4);
    EXPECT_FALSE(s.iff & IFF_HALTED);

    // IM 2 with vector low byte 0xFF and I = 0xFF wraps to 0x0000 for the high byte.
    s = machine_with({0xFB, 0xED, 0x5E, 0x76}, 4);
    s.I = 0xFF;
    load(0xFFFF, {0x34});
    load(0x0000, {0x12});
    test_machine.hook_results = {HOOK_NONE, HOOK_NONE, 0x00FF};
    cpu_run(&s);
    EXPECT_EQ(s.PC, 0x1235); // the byte at 0x1234 (NOP) ran before the stop

    // IM 0 jumps to the hook's value.
    s = machine_with({0xFB, 0x76}, 4);
    test_machine.hook_results = {HOOK_NONE, 0x2000};
    EXPECT_EQ(cpu_run(&s), 0x2001);

    // EI with a posted request: the next costing instruction closes the window and the
    // request is delivered without a hook call.
    s = machine_with({0xFB, 0x00, 0x00});
    s.irq_request = 0x3000;
    s.irq_auto_reset = 1;
    s.cycles_left = 100;
    test_machine.hook_results = {};
    cpu_run(&s);
    EXPECT_EQ(test_machine.hook_calls, 1u);
    EXPECT_EQ(test_machine.hook_pc[0], 0x3000 + (96 - 3 - 1) / 4);
    EXPECT_EQ(s.irq_request, HOOK_NONE);
    EXPECT_EQ(test_machine.ram[0x7FFE], 0x02); // pushed START + 2
}

TEST(BaseSet, ArithmeticAndFlags) {
    Z80State s =
        machine_with({0x3C, 0x3D, 0xC6, 0x01, 0xC6, 0x01, 0xFE, 0x28, 0x27, 0x9F, 0x9F, 0x37, 0x3F, 0x2F});
    s.AF = {0x01, 0x7F};
    EXPECT_EQ(step(s), 4); // INC A
    EXPECT_EQ(s.AF.hi, 0x80);
    EXPECT_EQ(s.AF.lo, 0x95);
    s.AF.lo = 0;
    step(s); // DEC A
    EXPECT_EQ(s.AF.hi, 0x7F);
    EXPECT_EQ(s.AF.lo, 0x16);
    EXPECT_EQ(step(s), 7); // ADD A,1 from 0x7F
    EXPECT_EQ(s.AF.hi, 0x80);
    EXPECT_EQ(s.AF.lo, 0x94);
    s.AF.hi = 0xFF;
    step(s);
    EXPECT_EQ(s.AF.hi, 0x00);
    EXPECT_EQ(s.AF.lo, 0x51);
    s.AF.hi = 0x00;
    step(s); // CP 0x28: bits 5 and 3 of the operand do not reach F
    EXPECT_EQ(s.AF.lo & 0x28, 0);
    s.AF = {0x00, 0x3C};
    step(s); // DAA
    EXPECT_EQ(s.AF.hi, 0x42);
    EXPECT_EQ(s.AF.lo, 0x14);
    s.AF.lo = 0x00;
    step(s); // SBC A,A without carry
    EXPECT_EQ(s.AF.w(), 0x0042);
    s.AF.lo = 0x01;
    step(s); // with carry
    EXPECT_EQ(s.AF.w(), 0xFF93);
    s.AF.lo = 0x28;
    step(s); // SCF keeps bits 5 and 3
    EXPECT_EQ(s.AF.lo, 0x29);
    step(s); // CCF: H takes the old carry
    EXPECT_EQ(s.AF.lo, 0x38);
    step(s); // CPL
    EXPECT_EQ(s.AF.hi, 0x00);
    EXPECT_EQ(s.AF.lo, 0x3A);
}

TEST(BaseSet, BranchesStackAndPorts) {
    Z80State s = machine_with({0x18, 0xFE});
    EXPECT_EQ(step(s), 12);
    EXPECT_EQ(s.PC, START);

    s = machine_with({0x10, 0x00, 0x10, 0x00});
    s.BC.hi = 1;
    EXPECT_EQ(step(s), 8);
    EXPECT_EQ(s.BC.hi, 0);
    s.BC.hi = 2;
    EXPECT_EQ(step(s), 13);

    s = machine_with({0xCD, 0x00, 0x20, 0xC8});
    EXPECT_EQ(step(s), 17);
    EXPECT_EQ(s.PC, 0x2000);
    EXPECT_EQ(test_machine.ram[0x7FFF], 0x10);
    EXPECT_EQ(test_machine.ram[0x7FFE], 0x03);
    s.PC = START + 3;
    s.AF.lo = 0;
    EXPECT_EQ(step(s), 5); // RET Z not taken
    EXPECT_EQ(s.SP, 0x7FFE);

    s = machine_with({0xF1, 0xF5, 0xE3});
    load(0x8000, {0xFF, 0x12});
    step(s);
    test_machine.ram[0x8000] = 0;
    step(s);
    EXPECT_EQ(test_machine.ram[0x8000], 0xFF); // all eight bits of F
    s.SP = 0xFFFF;
    s.HL.set(0xABCD);
    load(0xFFFF, {0x34});
    load(0x0000, {0x12});
    EXPECT_EQ(step(s), 19);
    EXPECT_EQ(s.HL.w(), 0x1234);
    EXPECT_EQ(test_machine.ram[0xFFFF], 0xCD);
    EXPECT_EQ(test_machine.ram[0x0000], 0xAB);

    s = machine_with({0xDB, 0x7E, 0xD3, 0x99, 0xED, 0x50, 0xED, 0x70});
    s.AF = {0x01, 0xAA};
    test_machine.in_value = 0x00;
    EXPECT_EQ(step(s), 11);
    EXPECT_EQ(step(s), 11);
    ASSERT_EQ(test_machine.ins.size(), 1u);
    EXPECT_EQ(test_machine.ins[0].port, 0x7E);
    EXPECT_EQ(test_machine.outs[0].port, 0x99);
    s.BC.set(0x12FE);
    s.AF.lo = 0x13;
    EXPECT_EQ(step(s), 12); // IN D,(C): port C alone, carry kept, H and N cleared
    EXPECT_EQ(test_machine.ins[1].port, 0xFE);
    EXPECT_EQ(s.AF.lo, 0x45);
    uint8_t d = s.DE.hi;
    step(s); // IN (C) changes only F
    EXPECT_EQ(s.DE.hi, d);
    EXPECT_EQ(s.AF.hi, 0x00);
}

// A word read across the top of the address space takes its high byte from 0x0000, whether it is
// an instruction's operand, a stack word or a memory operand.
TEST(BaseSet, WordsAcrossTheTopOfMemoryWrap) {
    struct Case {
        const char* what;
        uint16_t pc, sp;
        std::initializer_list<uint8_t> code; // at pc
        uint16_t HL, PC;                     // after one instruction
    };
    const Case cases[] = {
        {"JP nn, operand at FFFF", 0xFFFE, 0x8000, {0xC3, 0x78}, 0x0000, 0x3478},
        {"LD HL,nn, operand at FFFF", 0xFFFE, 0x8000, {0x21, 0x78}, 0x3478, 0x0001},
        {"POP HL with SP at FFFF", 0x1000, 0xFFFF, {0xE1}, 0x3412, 0x1001},
        {"LD HL,(FFFF)", 0x1000, 0x8000, {0x2A, 0xFF, 0xFF}, 0x3412, 0x1003},
        {"LD HL,(FFFE), no wrap", 0x1000, 0x8000, {0x2A, 0xFE, 0xFF}, 0x1200, 0x1003},
    };
    for (const Case& c : cases) {
        Z80State s = machine_with({});
        load(0xFFFE, {0x00, 0x12});
        load(0x0000, {0x34});
        load(c.pc, c.code);
        s.PC = c.pc;
        s.SP = c.sp;
        s.HL.set(0);
        step(s);
        EXPECT_EQ(s.HL.w(), c.HL) << c.what;
        EXPECT_EQ(s.PC, c.PC) << c.what;
    }
}

// An 8-bit register is half of a pair: writing it, or stepping it past 00 or FF, leaves the
// other half as it was.
TEST(BaseSet, ByteRegistersLeaveTheOtherHalfOfTheirPair) {
    struct Case {
        const char* what;
        std::initializer_list<uint8_t> code;
        Z80Pair Z80State::*pair;
        uint16_t before, after;
    };
    const Case cases[] = {
        {"LD B,n", {0x06, 0x5A}, &Z80State::BC, 0x1234, 0x5A34},
        {"LD C,n", {0x0E, 0x5A}, &Z80State::BC, 0x1234, 0x125A},
        {"LD H,L", {0x65}, &Z80State::HL, 0x1234, 0x3434},
        {"INC C past FF", {0x0C}, &Z80State::BC, 0x12FF, 0x1200},
        {"DEC C past 00", {0x0D}, &Z80State::BC, 0x1200, 0x12FF},
        {"INC B past FF", {0x04}, &Z80State::BC, 0xFF34, 0x0034},
        {"INC E past FF", {0x1C}, &Z80State::DE, 0x56FF, 0x5600},
        {"DEC D past 00", {0x15}, &Z80State::DE, 0x0078, 0xFF78},
        {"INC L past FF", {0x2C}, &Z80State::HL, 0x9AFF, 0x9A00},
        {"DJNZ from 00", {0x10, 0x00}, &Z80State::BC, 0x0077, 0xFF77},
        {"LD IXh,n", {0xDD, 0x26, 0x5A}, &Z80State::IX, 0x1234, 0x5A34},
        {"INC IXl past FF", {0xDD, 0x2C}, &Z80State::IX, 0x12FF, 0x1200},
        {"DEC IYh past 00", {0xFD, 0x25}, &Z80State::IY, 0x0034, 0xFF34},
        {"LD IYl,IYh", {0xFD, 0x6C}, &Z80State::IY, 0x1234, 0x1212},
        {"RL C (CB)", {0xCB, 0x11}, &Z80State::BC, 0x1280, 0x1200},
        {"SET 7,D (CB)", {0xCB, 0xFA}, &Z80State::DE, 0x0034, 0x8034},
        {"IN E,(C)", {0xED, 0x58}, &Z80State::DE, 0x1234, 0x12FF},
    };
    for (const Case& c : cases) {
        Z80State s = machine_with(c.code);
        s.AF.lo = 0;
        (s.*c.pair).set(c.before);
        step(s);
        EXPECT_EQ((s.*c.pair).w(), c.after) << c.what;
    }
}

// The run loop works on its own copy of the registers: every register of the record comes
// back as it went in across slices, hooks and the exchanges.
TEST(RunLoop, TheStateRecordComesBackWhole) {
    Z80State s = machine_with({0x00, 0x00, 0x08, 0xD9, 0x08, 0xD9});
    s.AF.set(0x1122);
    s.BC.set(0x3344);
    s.DE.set(0x5566);
    s.HL.set(0x7788);
    s.IX.set(0x99AA);
    s.IY.set(0xBBCC);
    s.AF2.set(0xDDEE);
    s.BC2.set(0xF102);
    s.DE2.set(0x0304);
    s.HL2.set(0x0506);
    s.SP = 0x0708;
    s.I = 0x09;
    s.R = 0x0A;
    s.iff = IFF_IM1;
    const Z80State in = s;
    // A 4-cycle slice per instruction: each NOP, EX and EXX passes through the hook.
    s.cycle_period = 4;
    s.cycles_left = 4;
    test_machine.hook_results.assign(5, HOOK_NONE);
    EXPECT_EQ(cpu_run(&s), START + 6);
    EXPECT_EQ(test_machine.hook_calls, 6u);
    for (int32_t left : test_machine.hook_cycles_left) EXPECT_EQ(left, 0);
    const Z80Pair Z80State::*pairs[] = {&Z80State::AF,  &Z80State::BC,  &Z80State::DE,  &Z80State::HL,
                                        &Z80State::IX,  &Z80State::IY,  &Z80State::AF2, &Z80State::BC2,
                                        &Z80State::DE2, &Z80State::HL2};
    for (auto pair : pairs) EXPECT_EQ((s.*pair).w(), (in.*pair).w());
    EXPECT_EQ(s.SP, in.SP);
    EXPECT_EQ(s.I, in.I);
    EXPECT_EQ(s.R, in.R);
    EXPECT_EQ(s.iff, in.iff);
}

// A slice runs until its budget is spent: instructions of 4 cycles in a slice of P cycles run
// ceil(P / 4) times, and the hook sees what is left (0 down to -3).
TEST(RunLoop, SlicesEndWhenTheBudgetIsSpent) {
    for (int32_t period = 1; period <= 13; ++period) {
        Z80State s = machine_with({}, period);
        s.cycles_left = period;
        test_machine.hook_results.clear();
        EXPECT_EQ(cpu_run(&s), START + (period + 3) / 4) << period;
        EXPECT_EQ(test_machine.hook_cycles_left.at(0), period - 4 * ((period + 3) / 4)) << period;
    }
}

TEST(CbAndEdSets, BitsBlocksAndSpecialRegisters) {
    Z80State s = machine_with({0xCB, 0x30, 0xCB, 0x7F, 0xCB, 0xC6});
    s.BC.hi = 0x80;
    EXPECT_EQ(step(s), 8); // SLL B
    EXPECT_EQ(s.BC.hi, 0x01);
    EXPECT_EQ(s.AF.lo & 0x01, 0x01);
    s.AF = {0x85, 0x80};
    step(s); // BIT 7,A: Z clear, H set, N clear, S, P/V and C kept
    EXPECT_EQ(s.AF.lo, 0x95);
    s.HL.set(0x2000);
    test_machine.ram[0x2000] = 0x01;
    test_machine.record_writes = true;
    EXPECT_EQ(step(s), 15); // SET 0,(HL) writes though nothing changes
    EXPECT_EQ(test_machine.writes.size(), 1u);

    // LDIR, BC = 3: 21 + 21 + 16.
    s = machine_with({0xED, 0xB0, 0x00}, 1000);
    s.BC.set(3);
    s.HL.set(0x2000);
    s.DE.set(0x3000);
    s.AF.lo = 0xFF;
    s.cycles_left = 58 + 1;
    test_machine.hook_results = {};
    cpu_run(&s);
    EXPECT_EQ(test_machine.hook_cycles_left[0], 1 - 4); // the NOP after it ended the slice
    EXPECT_EQ(s.BC.w(), 0);
    EXPECT_EQ(s.AF.lo, 0xE9);

    // LDIR out of budget: two iterations, back at the ED, N set, flags stand.
    s = machine_with({0xED, 0xB0});
    s.BC.set(10);
    s.cycles_left = 30;
    test_machine.hook_results = {};
    EXPECT_EQ(cpu_run(&s), START);
    EXPECT_EQ(test_machine.hook_cycles_left[0], -12);
    EXPECT_EQ(s.BC.w(), 8);
    EXPECT_EQ(s.AF.lo & 0x06, 0x02);

    // CPIR matching at once; CPDR stopping on the budget.
    s = machine_with({0xED, 0xB1, 0xED, 0xB9});
    s.AF.hi = 0x42;
    s.HL.set(0x2000);
    s.BC.set(5);
    test_machine.ram[0x2000] = 0x42;
    EXPECT_EQ(step(s), 16);
    EXPECT_EQ(s.HL.w(), 0x2001);
    EXPECT_EQ(s.AF.lo & 0x46, 0x46);
    s.HL.set(0x2100);
    s.cycles_left = 22;
    test_machine.hook_results = {};
    EXPECT_EQ(cpu_run(&s), START + 2);
    EXPECT_EQ(s.BC.w(), 2);
    EXPECT_EQ(s.HL.w(), 0x20FE);

    // OTIR with B = 1.
    s = machine_with({0xED, 0xB3});
    s.BC.set(0x0177);
    s.AF.lo = 0xFF;
    EXPECT_EQ(step(s), 16);
    EXPECT_EQ(s.AF.lo, 0x42);
    EXPECT_EQ(test_machine.outs.at(0).port, 0x77);

    // OTIR with B = 0: 256 bytes, the source wrapping at the top of memory, in a slice that
    // leaves one cycle for the NOP after it.
    s = machine_with({0xED, 0xB3, 0x00});
    s.BC.set(0x00BE);
    s.HL.set(0xFFF0);
    for (int i = 0; i < 256; ++i) test_machine.ram[uint16_t(0xFFF0 + i)] = uint8_t(i * 7);
    test_machine.outs.clear();
    test_machine.hook_results = {};
    s.cycles_left = 256 * 21 - 5 + 1;
    EXPECT_EQ(cpu_run(&s), START + 3);
    EXPECT_EQ(test_machine.hook_cycles_left[0], 1 - 4);
    ASSERT_EQ(test_machine.outs.size(), 256u);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(test_machine.outs[size_t(i)].value, uint8_t(i * 7)) << i;
    EXPECT_EQ(s.HL.w(), 0x00F0);
    EXPECT_EQ(s.BC.w(), 0x00BE);
    EXPECT_EQ(s.AF.lo, 0x42);

    // OTDR out of budget: two bytes, downwards, back at the ED; the other three in the next
    // slice, which again leaves one cycle for a NOP.
    s = machine_with({0xED, 0xBB, 0x00}, 3 * 21 - 5 + 1);
    s.BC.set(0x05BE);
    s.HL.set(0x2004);
    for (int i = 0; i < 5; ++i) test_machine.ram[0x2000 + i] = uint8_t(0x10 + i);
    test_machine.outs.clear();
    s.cycles_left = 2 * 21; // spent to the cycle by the second byte
    test_machine.hook_results = {HOOK_NONE};
    EXPECT_EQ(cpu_run(&s), START + 3);
    EXPECT_EQ(test_machine.hook_cycles_left[0], 0);
    EXPECT_EQ(test_machine.hook_pc[0], START);
    EXPECT_EQ(test_machine.hook_cycles_left[1], 1 - 4);
    ASSERT_EQ(test_machine.outs.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(test_machine.outs[size_t(i)].value, 0x14 - i) << i;
    EXPECT_EQ(s.HL.w(), 0x1FFF);
    EXPECT_EQ(s.BC.hi, 0);

    // LD A,R twice in one slice: ten apart. ED ED 44 is NEG with the first ED free.
    s = machine_with({0xED, 0x5F, 0xED, 0x5F, 0xED, 0x4F, 0xED, 0xED, 0x44});
    s.cycles_left = 1000;
    test_machine.hook_results = {};
    s.cycle_period = 1000;
    load(START + 9, {0x76});
    s.AF.hi = 0x77;
    cpu_run(&s);
    EXPECT_EQ(s.R, 2);
    uint8_t first = uint8_t(1 - (1000 - 9));
    EXPECT_EQ(uint8_t(-s.AF.hi), uint8_t(first + 10));
    EXPECT_EQ(s.AF.lo & 0x02, 0x02);
}

TEST(IndexSets, IndexHalfIndexAndFallThroughForms) {
    Z80State s = machine_with({0xDD, 0x21, 0x34, 0x12, 0xFD, 0x21, 0x78, 0x56, 0xDD, 0x36, 0x05, 0xAA,
                               0xDD, 0x46, 0xFF, 0xDD, 0x66, 0x00, 0xDD, 0x74, 0x01, 0xDD, 0x29});
    EXPECT_EQ(step(s), 14);
    EXPECT_EQ(s.IX.w(), 0x1234);
    EXPECT_EQ(step(s), 14);
    EXPECT_EQ(s.IY.w(), 0x5678);
    EXPECT_EQ(step(s), 19);
    EXPECT_EQ(test_machine.ram[0x1239], 0xAA);
    test_machine.ram[0x1233] = 0x99;
    step(s);
    EXPECT_EQ(s.BC.hi, 0x99);
    test_machine.ram[0x1234] = 0x66;
    EXPECT_EQ(step(s), 19);
    EXPECT_EQ(s.HL.hi, 0x66);
    EXPECT_EQ(s.IX.w(), 0x1234);
    step(s);
    EXPECT_EQ(test_machine.ram[0x1235], 0x66);
    s.IX.set(0x8800);
    s.AF.lo = 0;
    EXPECT_EQ(step(s), 15);
    EXPECT_EQ(s.IX.w(), 0x1000);
    EXPECT_EQ(s.AF.lo, 0x11);

    s = machine_with({0xDD, 0xCB, 0x02, 0x46, 0xDD, 0xCB, 0x02, 0x47, 0xDD, 0xCB, 0x02, 0x06, 0xDD, 0xCB,
                      0x02, 0x00, 0x00});
    s.IX.set(0x2000);
    test_machine.ram[0x2002] = 0x80;
    EXPECT_EQ(step(s), 20);
    EXPECT_EQ(s.AF.lo & 0x40, 0x40);
    EXPECT_EQ(step(s), 20);
    EXPECT_EQ(step(s), 23);
    EXPECT_EQ(test_machine.ram[0x2002], 0x01);
    EXPECT_EQ(s.AF.lo & 0x01, 0x01);
    s.BC.hi = 0x11;
    EXPECT_EQ(step(s), 4); // DD CB d 00 is free: the NOP after it paid
    EXPECT_EQ(s.BC.hi, 0x11);
    EXPECT_EQ(test_machine.ram[0x2002], 0x01);

    s = machine_with({0xDD, 0x20, 0x00, 0x00});
    EXPECT_EQ(step(s), 4);
    EXPECT_EQ(s.PC, START + 4);
    s = machine_with({0xDD, 0xDD, 0x21, 0x01, 0x00});
    EXPECT_EQ(step(s), 14);
    EXPECT_EQ(s.IX.w(), 1);
    s = machine_with({0xDD, 0xED, 0xB0, 0xDD, 0xEB, 0x00, 0xDD, 0x7C, 0xDD, 0xE3});
    s.AF.hi = 0x10;
    s.BC.hi = 0x01;
    EXPECT_EQ(step(s), 4); // OR B
    EXPECT_EQ(s.AF.hi, 0x11);
    s.DE.set(0x1111);
    s.HL.set(0x2222);
    s.IX.set(0x3344);
    EXPECT_EQ(step(s), 4); // DD EB free, NOP paid
    EXPECT_EQ(s.DE.w(), 0x2222);
    EXPECT_EQ(s.IX.w(), 0x3344);
    EXPECT_EQ(step(s), 9); // LD A,IXh
    EXPECT_EQ(s.AF.hi, 0x33);
    s.SP = 0xFFFF;
    load(0xFFFF, {0x78});
    load(0x0000, {0x56});
    EXPECT_EQ(step(s), 23);
    EXPECT_EQ(s.IX.w(), 0x5678);
    EXPECT_EQ(test_machine.ram[0xFFFF], 0x44);
    EXPECT_EQ(test_machine.ram[0x0000], 0x33);
}

TEST(ZeroCostGuard, FreeLoopsStillReachTheHook) {
    // FD JP to itself costs nothing, yet slices keep ending.
    Z80State s = machine_with({0xFD, 0xC3, 0x00, 0x10});
    test_machine.hook_results = {HOOK_NONE, HOOK_NONE};
    EXPECT_EQ(cpu_run(&s), START);
    EXPECT_EQ(test_machine.hook_calls, 3u);
    EXPECT_EQ(test_machine.hook_cycles_left[0], 0);

    // Memory made only of DD bytes.
    test_machine_reset(s, 1000);
    std::fill(std::begin(test_machine.ram), std::end(test_machine.ram), 0xDD);
    test_machine.hook_results = {HOOK_NONE};
    cpu_run(&s);
    EXPECT_EQ(test_machine.hook_calls, 2u);

    // Fewer free instructions than the limit, between costing ones, change nothing.
    s = machine_with({}, 1000);
    uint16_t a = START;
    for (uint32_t i = 0; i < ZERO_COST_RUN_LIMIT - 1; ++i) {
        test_machine.ram[a++] = 0xDD;
        test_machine.ram[a++] = 0x00;
    }
    test_machine.ram[a] = 0x00;
    test_machine.hook_results = {};
    s.cycles_left = 1;
    cpu_run(&s);
    EXPECT_EQ(test_machine.hook_pc[0], a + 1);
    EXPECT_EQ(test_machine.hook_cycles_left[0], -3);
}

// Runs the free loop DD FB DD C3 00 40 (EI under a prefix, a prefixed jump back) at 0x4000 with
// an interrupt request pending, in IM `mode`; the request is consumed when taken if
// `auto_reset`. Runs in a child process, which an alarm ends if cpu_run never returns; the child
// reports where the interrupt went and where the hook was reached.
[[noreturn]] void run_free_ei_loop(uint8_t mode_bits, uint8_t auto_reset) {
    alarm(2);
    Z80State s;
    test_machine_reset(s, 1000);
    load(0x4000, {0xDD, 0xFB, 0xDD, 0xC3, 0x00, 0x40});
    s.PC = 0x4000;
    s.SP = 0x8000;
    s.iff = mode_bits;
    s.irq_request = 0x4000;
    s.irq_auto_reset = auto_reset;
    uint16_t pc = cpu_run(&s);
    std::fprintf(stderr, "returned at %04X, hooks %u, pushed %02X%02X, request %04X\n", pc,
                 test_machine.hook_calls, test_machine.ram[0x7FFF], test_machine.ram[0x7FFE], s.irq_request);
    std::exit(0);
}

TEST(ZeroCostGuard, EiUnderAPrefixWithAnInterruptPending) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // IM 1: the request is taken from inside the loop; the NOPs at 0x0038 cost, and the next
    // slice end reaches the hook.
    EXPECT_EXIT(run_free_ei_loop(IFF_IM1, 0), ::testing::ExitedWithCode(0),
                "returned at 0039, hooks 1, pushed 4000, request 4000");
    // IM 0 back into the loop, the request consumed: the loop runs on with interrupts enabled
    // and nothing pending, and its slice still ends at the hook.
    EXPECT_EXIT(run_free_ei_loop(0, 1), ::testing::ExitedWithCode(0),
                "returned at 4002, hooks 1, pushed 4000, request FFFF");
}
