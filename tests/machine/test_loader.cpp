// Loading the BIOS and cartridges: what is accepted, where the bytes land, and that every
// failure returns quietly with nothing run.
#include <gtest/gtest.h>

#include "machine/loader.h"
#include "machine/memory.h"
#include "tests/machine/machine_fixture.h"
#include "video/vdp.h"

namespace {

constexpr const char* CART = "/mnt/sd/roms/colecovision/game.rom";

struct Loader : ::testing::Test {
    TempFolder card;
    std::string roms = card.rom_folder();
    void SetUp() override {
        std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/coleco.rom");
        start_headless_with_select(card.path);
        write_file(roms + "/coleco.rom", spinning_bios());
    }
    void TearDown() override { release_machine(); }
    int load(const std::vector<uint8_t>& cart) {
        write_file(roms + "/game.rom", cart);
        return run_cartridge(CART);
    }
};

TEST_F(Loader, SignatureAndMinimumLength) {
    EXPECT_EQ(load(test_cartridge(4096, 0xAA, 0x55)), 1);
    release_machine();
    EXPECT_EQ(load(test_cartridge(4095, 0xAA, 0x55)), 0);
    release_machine();
    EXPECT_EQ(load(test_cartridge(4096, 0x55, 0xAA)), 1);
    release_machine();
    EXPECT_EQ(load(test_cartridge(8192, 0x55, 0x55)), 0);
    release_machine();
    EXPECT_EQ(load(test_cartridge(8192, 0xAA, 0xAA)), 0);
    release_machine();
    EXPECT_EQ(load({0xAA}), 0);
    release_machine();
    EXPECT_EQ(load({}), 0);
}

TEST_F(Loader, LongCartridgeFillsTheTopHalfAndTheRestIsIgnored) {
    std::vector<uint8_t> cart = test_cartridge(40960);
    ASSERT_EQ(load(cart), 1);
    for (uint32_t i = 0; i < 0x8000; ++i) ASSERT_EQ(cpu_memory[0x8000 + i], cart[i]) << i;
}

TEST_F(Loader, ShortCartridgeLeavesTheRestEmpty) {
    std::vector<uint8_t> cart = test_cartridge(16384);
    ASSERT_EQ(load(cart), 1);
    EXPECT_EQ(cpu_memory[0xBFFF], cart[0x3FFF]);
    for (uint32_t a = 0xC000; a <= 0xFFFF; ++a) ASSERT_EQ(cpu_memory[a], 0xFF) << a;
}

TEST_F(Loader, UnwrittenMemoryReadsEmptyWhenTheGameStarts) {
    ASSERT_EQ(load(test_cartridge(8192)), 1);
    for (uint32_t a = 0x2000; a < 0x8000; ++a) ASSERT_EQ(cpu_memory[a], 0xFF) << a;
    EXPECT_EQ(cpu_memory[0xA000], 0xFF);
    ASSERT_NE(vdp.vram, nullptr);
}

TEST_F(Loader, BiosMustHoldItsWholeImage) {
    write_file(roms + "/coleco.rom", spinning_bios(8191));
    EXPECT_EQ(load(test_cartridge(8192)), 0);
    release_machine();

    std::vector<uint8_t> big = spinning_bios(16384);
    big[0x1FFF] = 0x42;
    big[0x2000] = 0x43;
    write_file(roms + "/coleco.rom", big);
    ASSERT_EQ(load(test_cartridge(8192)), 1);
    EXPECT_EQ(cpu_memory[0x1FFF], 0x42);
    EXPECT_EQ(cpu_memory[0x2000], 0xFF);
}

TEST_F(Loader, MissingFilesFailQuietly) {
    std::remove((roms + "/coleco.rom").c_str());
    uint32_t failed = loads_failed, run = games_run;
    EXPECT_EQ(load(test_cartridge(8192)), 0);
    release_machine();
    write_file(roms + "/coleco.rom", spinning_bios());
    EXPECT_EQ(run_cartridge("/mnt/sd/roms/colecovision/absent.rom"), 0);
    EXPECT_EQ(loads_failed, failed + 2);
    EXPECT_EQ(games_run, run);
}

TEST_F(Loader, ReleaseIsSafeWhateverWasCreated) {
    release_machine();
    release_machine();
    EXPECT_EQ(cpu_memory, nullptr);
    EXPECT_EQ(vdp.vram, nullptr);
}

} // namespace
