// The bank-switched run loop: which reads select a bank (every kind, including the interrupt
// vector), that writes never do, and that the bytes read come from the bank shown.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/cpu/test_machine.h"

namespace {

constexpr uint16_t START = 0x1000;
constexpr uint32_t BANKS = 16;

// Sixteen banks, every byte of bank b holding b.
struct Banked : ::testing::Test {
    std::vector<uint8_t> image = std::vector<uint8_t>(BANKS * Z80_BANK_BYTES);
    Z80Banks banks{image.data(), BANKS - 1, 0};
    Z80State s;
    void SetUp() override {
        for (uint32_t b = 0; b < BANKS; ++b)
            std::fill(image.begin() + b * Z80_BANK_BYTES, image.begin() + (b + 1) * Z80_BANK_BYTES, uint8_t(b));
    }
    // Runs `code` at START for a slice of `cycles` (one costing instruction by default), after
    // which the hook stops the run unless `hooks` asks for more; the rest of memory is NOPs.
    void run(std::initializer_list<uint8_t> code, const std::function<void(Z80State&)>& setup,
             std::vector<uint16_t> hooks = {}, int32_t cycles = 1) {
        test_machine_reset(s, 1000);
        load(START, code);
        s.PC = START;
        s.SP = 0x8000;
        setup(s);
        banks.bank = 0;
        test_machine.hook_results = std::move(hooks);
        s.cycles_left = cycles;
        cpu_run_banked(&s, &banks);
    }
};

TEST_F(Banked, EveryKindOfReadSelectsAndWritesDoNot) {
    struct Case {
        const char* what;
        std::initializer_list<uint8_t> code;
        std::function<void(Z80State&)> setup;
        uint32_t bank;
        int32_t cycles = 1;
    };
    auto none = [](Z80State&) {};
    const Case cases[] = {
        {"LD A,(nn)", {0x3A, 0xC5, 0xFF}, none, 5},
        {"LD A,(nn) below the selecting addresses", {0x3A, 0xBF, 0xFF}, none, 0},
        {"LD A,(nn) of the first selecting address, after bank 5", {0x3A, 0xC5, 0xFF, 0x3A, 0xC0, 0xFF}, none, 0, 14},
        {"LD HL,(nn): two reads, the second wins", {0x2A, 0xC6, 0xFF}, none, 7},
        {"LD BC,(nn)", {0xED, 0x4B, 0xCA, 0xFF}, none, 0xB},
        {"LD A,(HL)", {0x7E}, [](Z80State& z) { z.HL.set(0xFFC3); }, 3},
        {"LD A,(IX+d)", {0xDD, 0x7E, 0x05}, [](Z80State& z) { z.IX.set(0xFFC0); }, 5},
        {"BIT 0,(HL)", {0xCB, 0x46}, [](Z80State& z) { z.HL.set(0xFFC4); }, 4},
        {"RLD", {0xED, 0x6F}, [](Z80State& z) { z.HL.set(0xFFC9); }, 9},
        {"POP DE", {0xD1}, [](Z80State& z) { z.SP = 0xFFD1; }, 2},
        {"RET", {0xC9}, [](Z80State& z) { z.SP = 0xFFE4; }, 5},
        {"EX (SP),HL", {0xE3}, [](Z80State& z) { z.SP = 0xFFE8; }, 9},
        {"LDI", {0xED, 0xA0}, [](Z80State& z) { z.HL.set(0xFFCC); }, 0xC},
        {"CPI", {0xED, 0xA1}, [](Z80State& z) { z.HL.set(0xFFCD); }, 0xD},
        {"OUTI", {0xED, 0xA3}, [](Z80State& z) { z.HL.set(0xFFCE); }, 0xE},
        {"OTIR", {0xED, 0xB3}, [](Z80State& z) { z.HL.set(0xFFF1), z.BC.set(0x02BE); }, 2, 100},
        {"OTDR wrapping below 0x0000", {0xED, 0xBB}, [](Z80State& z) { z.HL.set(0x0001), z.BC.set(0x03BE); }, 0xF, 100},
        {"instruction fetch", {}, [](Z80State& z) { z.PC = 0xFFC8; }, 8},
        {"LD (nn),A", {0x32, 0xC3, 0xFF}, none, 0},
        {"PUSH", {0xC5}, [](Z80State& z) { z.SP = 0x0000; }, 0},
        {"LDIR into the selecting addresses", {0xED, 0xB0}, [](Z80State& z) { z.DE.set(0xFFC6), z.BC.set(4); }, 0},
    };
    for (const Case& k : cases) {
        run(k.code, k.setup, {}, k.cycles);
        EXPECT_EQ(banks.bank, k.bank) << k.what;
    }
}

TEST_F(Banked, BytesComeFromTheBankShown) {
    run({0x3A, 0xC5, 0xFF}, [](Z80State&) {});
    EXPECT_EQ(s.AF.hi, 5); // the bank the read selected answers it
    run({0x3A, 0x00, 0xC0}, [](Z80State&) {});
    EXPECT_EQ(s.AF.hi, 0);
    run({0x3A, 0xFF, 0xBF}, [](Z80State&) {});
    EXPECT_EQ(s.AF.hi, 0x00) << "below 0xC000 is the machine's memory";

    // RET reads its low byte from bank 4 and its high byte from bank 5.
    run({0xC9}, [](Z80State& z) { z.SP = 0xFFE4; });
    EXPECT_EQ(s.PC, 0x0504);

    // OTIR through the window sends each byte from the bank its own read selected.
    run({0xED, 0xB3}, [](Z80State& z) { z.HL.set(0xFFF1), z.BC.set(0x02BE); }, {}, 100);
    ASSERT_EQ(test_machine.outs.size(), 2u);
    EXPECT_EQ(test_machine.outs[0].value, 1);
    EXPECT_EQ(test_machine.outs[1].value, 2);

    // The IM 2 vector read: I = 0xFF and vector 0xDA read 0xFFDA and 0xFFDB.
    run({0x00}, [](Z80State& z) { z.I = 0xFF, z.iff = IFF_1 | IFF_IM2; }, {0x00DA});
    EXPECT_EQ(banks.bank, 0xBu);
    EXPECT_EQ(test_machine.hook_pc.at(1), 0x0B0A + 250); // then 250 NOPs in the next slice
}

} // namespace
