// What today's cartridges use, each tried by a cartridge of ours (tests/machine/roms): a
// MegaCart's banks, the Super Game Module's RAM and sound registers, and the spinners.
#include <gtest/gtest.h>

#include <algorithm>

#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "tests/machine/machine_fixture.h"
#include "video/vdp.h"

namespace {

constexpr const char* CART = "/mnt/sd/roms/colecovision/game.rom";

std::vector<uint8_t> machine_rom(const std::string& name) {
    return read_file(std::string(VELKORO_MACHINE_TEST_ROMS) + "/" + name + ".rom");
}

struct Expansions : ::testing::Test {
    TempFolder card;
    std::string roms = card.rom_folder();
    void SetUp() override {
        std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/coleco.rom");
        write_file(roms + "/coleco.rom", read_file(VELKORO_TINY_BIOS));
    }
    void TearDown() override { release_machine(); }
    // Runs the game until SELECT, held from `select_ms` on.
    int play(const std::vector<uint8_t>& cart, uint32_t select_ms = 0) {
        start_headless_with_select(card.path, select_ms);
        write_file(roms + "/game.rom", cart);
        return run_cartridge(CART);
    }
};

TEST_F(Expansions, MegaCartBanksByEveryKindOfRead) {
    for (uint32_t banks : {8u, 64u}) {
        std::vector<uint8_t> image = machine_rom(banks == 8 ? "megacart" : "megacart_1m");
        ASSERT_EQ(image.size(), banks * 0x4000);
        ASSERT_EQ(play(image), 1) << banks;
        ASSERT_EQ(cpu_memory[0x7009], 0x5A) << banks;
        uint32_t mask = banks - 1;
        // The bank at start, after a data read, a fetch, a pop, LDIR, a read of 0xFFFD, a
        // write, the code of that bank, a write to the window itself.
        const uint8_t expected[] = {0, 1, 2, 4, 6, uint8_t(0xFD & mask), 3, 0x83, 3};
        for (size_t i = 0; i < sizeof expected; ++i) EXPECT_EQ(cpu_memory[0x7000 + i], expected[i]) << banks << " " << i;
        // The last bank is the fixed one.
        EXPECT_TRUE(std::equal(cpu_memory + 0x8000, cpu_memory + 0xC000, image.end() - 0x4000));
        release_machine();
    }
}

TEST_F(Expansions, SuperGameModuleRamBiosSwapAndSoundRegisters) {
    const uint8_t expected[] = {0x00, 0xFF, 0x11, 0x00, 0x00, 0x00, 0x33, 0x11, 0xFF, 0xFF, 0x22, 0x33, 0x31,
                                0x00, 0x55, 0x31, 0x55, 0x0F, 0x1F, 0xFF, 0x1F, 0x0F, 0xFF, 0xFF, 0x5A};
    // Twice: the second game must find the module off, its RAM zeroed and the registers clear.
    for (int game = 0; game < 2; ++game) {
        ASSERT_EQ(play(machine_rom("module")), 1);
        for (size_t i = 0; i < sizeof expected; ++i) EXPECT_EQ(vdp.vram[i], expected[i]) << game << " " << i;
        EXPECT_EQ(sgm.mapped, SGM_UPPER_RAM);
        release_machine();
    }
}

// Spinner script names held, one for 300 ms and one for 100 ms: each controller's steps to the
// right and to the left as the game's handler counted them, and what the port read with a step
// pending. While only one spinner turns, the other's last step must not be counted again.
TEST_F(Expansions, SpinnersInterruptAndReportTheirDirection) {
    write_file(roms + "/coleco.rom", read_file(built_rom("coleco.rom")));
    struct Case {
        uint8_t long_spin, short_spin;
        int frames[4]; // steps to the right and left of controllers 1 and 2, in frames of steps
        uint8_t read1, read2;
    };
    for (Case c : {Case{SPIN_FIRST_RIGHT, SPIN_SECOND_LEFT, {18, 0, 0, 6}, 0x4F, 0x6F},
                   Case{SPIN_SECOND_RIGHT, SPIN_FIRST_LEFT, {0, 6, 18, 0}, 0x6F, 0x4F},
                   Case{0, 0, {0, 0, 0, 0}, 0, 0}}) {
        start_headless_with_select(card.path, 500);
        ScriptedPress long_turn{0, 100, 400}, short_turn{0, 100, 200};
        long_turn.spin = c.long_spin;
        short_turn.spin = c.short_spin;
        headless_config.presses.push_back(long_turn);
        headless_config.presses.push_back(short_turn);
        write_file(roms + "/game.rom", machine_rom("spinner"));
        // Steps a previous game left must not reach this one.
        if (!c.long_spin) spinners = SpinnerState{{9, -9}, {3, 3}, {1, 1}, {SPIN_LEFT, SPIN_RIGHT}, 1};
        ASSERT_EQ(run_cartridge(CART), 1);
        // No step pending: both bits read 1.
        EXPECT_EQ(cpu_memory[0x7007], 0x7F);
        EXPECT_EQ(cpu_memory[0x7008], 0x7F);
        for (int i = 0; i < 4; ++i) {
            // Every step of every frame, a frame's steps at a time.
            uint8_t counted = cpu_memory[0x7000 + i];
            EXPECT_EQ(counted % SPINNER_KEY_STEPS, 0) << int(c.long_spin) << " " << i;
            EXPECT_NEAR(counted / SPINNER_KEY_STEPS, c.frames[i], 1) << int(c.long_spin) << " " << i;
        }
        // One interrupt for both controllers' steps on the same line.
        EXPECT_EQ(cpu_memory[0x7006], std::max(cpu_memory[0x7000] + cpu_memory[0x7001], cpu_memory[0x7002] + cpu_memory[0x7003]));
        EXPECT_EQ(cpu_memory[0x7004], c.read1);
        EXPECT_EQ(cpu_memory[0x7005], c.read2);
        release_machine();
    }
}

} // namespace
