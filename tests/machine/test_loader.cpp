// Loading the BIOS and cartridges: what is accepted, where the bytes land, and that every
// failure returns quietly with nothing run.
#include <gtest/gtest.h>

#include "cpu/z80.h"
#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/heap.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "sound/psg.h"
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
    void TearDown() override {
        program_failing_bytes = 0;
        release_machine();
    }
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

TEST_F(Loader, FullCartridgeFillsTheTopHalf) {
    std::vector<uint8_t> cart = test_cartridge(0x8000);
    ASSERT_EQ(load(cart), 1);
    for (uint32_t i = 0; i < 0x8000; ++i) ASSERT_EQ(cpu_memory[0x8000 + i], cart[i]) << i;
    EXPECT_EQ(megacart.image, nullptr);
}

// A file over 32 KB runs only as a whole MegaCart: a power of two of 64 KB to 1 MB with the
// signature at the start of its last bank, which is what the game sees at 0x8000.
TEST_F(Loader, FilesOver32KBMustBeWholeMegaCarts) {
    struct Case {
        size_t size;
        bool signed_last_bank;
        int loads;
    };
    for (Case c : {Case{0x8001, false, 0}, {40960, false, 0}, {0x10000, false, 0}, {0x10000, true, 1},
                   {0x18000, true, 0}, {0x100000, true, 1}, {0x200000, true, 0}}) {
        // The first bank has the signature too, as a plain cartridge's start.
        std::vector<uint8_t> cart = test_cartridge(c.size);
        if (c.signed_last_bank) {
            std::copy(cart.begin(), cart.begin() + 0x30, cart.end() - 0x4000);
            cart[c.size - 0x4000 + 0x30] = 0xDB; // a byte of its own
        }
        uint32_t live = program_blocks_live;
        EXPECT_EQ(load(cart), c.loads) << c.size;
        if (c.loads) {
            EXPECT_EQ(cpu_memory[0x8030], 0xDB) << c.size;
            EXPECT_EQ(program_blocks_live, live + 3) << "memory, video memory and the image";
        }
        release_machine();
        EXPECT_EQ(program_blocks_live, live);
    }
    // The image is one block of the file's size: when that cannot be had, nothing runs.
    std::vector<uint8_t> cart = test_cartridge(0x10000);
    std::copy(cart.begin(), cart.begin() + 0x30, cart.end() - 0x4000);
    program_failing_bytes = 0x10000;
    EXPECT_EQ(load(cart), 0);
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

TEST_F(Loader, AFailedLoadSaysWhy) {
    struct Case {
        std::vector<uint8_t> cart;
        std::vector<uint8_t> bios;
        std::string reason;
    };
    const std::string bios = card.path + "/roms/colecovision/coleco.rom";
    std::vector<uint8_t> huge = test_cartridge(CARTRIDGE_FILE_MAX_BYTES + 1);
    std::vector<uint8_t> largest = test_cartridge(CARTRIDGE_FILE_MAX_BYTES);
    std::copy(largest.begin(), largest.begin() + 0x30, largest.end() - 0x4000); // a MegaCart
    const Case cases[] = {
        {test_cartridge(8192), {}, "BIOS not found: " + bios},
        {test_cartridge(8192), spinning_bios(8191), "BIOS too short (needs 8192 bytes): " + bios},
        {{}, spinning_bios(), "Cartridge too short: game.rom"},
        {{0xAA}, spinning_bios(), "Cartridge too short: game.rom"},
        {test_cartridge(4095), spinning_bios(), "Cartridge too short: game.rom"},
        {test_cartridge(8192, 0x55, 0x55), spinning_bios(), "Not a cartridge (no 55 AA header): game.rom"},
        {huge, spinning_bios(), "Cartridge too large: game.rom"},
        {test_cartridge(40960), spinning_bios(), "MegaCart size not a power of two: game.rom"},
        {test_cartridge(0x10000), spinning_bios(), "Not a MegaCart (no 55 AA header in its last bank): game.rom"},
        // The largest file taken, and a load that works, leave no reason behind.
        {largest, spinning_bios(), ""},
        {test_cartridge(8192), spinning_bios(), ""},
    };
    for (const Case& c : cases) {
        std::remove((roms + "/coleco.rom").c_str());
        if (!c.bios.empty()) write_file(roms + "/coleco.rom", c.bios);
        EXPECT_EQ(load(c.cart), c.reason.empty() ? 1 : 0) << c.reason;
        EXPECT_EQ(std::string(load_error), c.reason);
        release_machine();
    }
    EXPECT_EQ(run_cartridge("/mnt/sd/roms/colecovision/absent.rom"), 0);
    EXPECT_EQ(std::string(load_error), "Cartridge not found: absent.rom");
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
    uint32_t live = program_blocks_live;
    release_machine();
    release_machine();
    EXPECT_EQ(cpu_memory, nullptr);
    EXPECT_EQ(vdp.vram, nullptr);

    // Memory or video memory that cannot be created fails the load; what was created goes with
    // the release.
    program_failing_bytes = CPU_MEMORY_BYTES;
    EXPECT_EQ(load(test_cartridge(8192)), 0);
    EXPECT_EQ(cpu_memory, nullptr);
    release_machine();
    program_failing_bytes = VDP_VRAM_BYTES;
    EXPECT_EQ(load(test_cartridge(8192)), 0);
    EXPECT_NE(cpu_memory, nullptr);
    EXPECT_EQ(vdp.vram, nullptr);
    program_failing_bytes = 0;
    release_machine();
    EXPECT_EQ(program_blocks_live, live);
    ASSERT_EQ(load(test_cartridge(8192)), 1);
    EXPECT_EQ(program_blocks_live, live + 2);
}

// The probe cartridge (tests/machine/roms/probe.asm) records what it finds after its load: run
// after a game that left joystick mode, pressed controllers, a frame almost over and video
// memory full of zeros, it must find none of that. L is held throughout (keypad key 0).
TEST_F(Loader, EveryGameStartsFromPowerOnWhateverThePreviousOneLeft) {
    write_file(roms + "/coleco.rom", read_file(VELKORO_TINY_BIOS));
    std::vector<uint8_t> probe = read_file(std::string(VELKORO_MACHINE_TEST_ROMS) + "/probe.rom");
    for (int game = 0; game < 2; ++game) {
        start_headless_with_select(card.path, 1000, BTN_L);
        controller_mode = 1;
        controller_words[0] = controller_words[1] = 0x0000;
        scanline = 191;
        ASSERT_EQ(load(probe), 1);
        ASSERT_EQ(cpu_memory[0x7006], 0x5A) << "the probe did not finish";
        // Nothing pressed on either controller until the first frame end reads the buttons.
        EXPECT_EQ(cpu_memory[0x7000], 0x7F) << game;
        EXPECT_EQ(cpu_memory[0x7001], 0x7F) << game;
        // The first frame is a whole one: 192 lines of 215 cycles (each line runs on to the end
        // of the instruction that crosses its budget), some 1340 turns of the loop.
        int turns = cpu_memory[0x7002] | cpu_memory[0x7003] << 8;
        EXPECT_NEAR(turns, 1340, 20) << game;
        // Keypad mode: L reads as key 0.
        EXPECT_EQ(cpu_memory[0x7004], 0x7A) << game;
        EXPECT_EQ(cpu_memory[0x7005], 0xFF) << game;
        // The probe left video memory zeroed; the next load must fill it again.
        release_machine();
    }
}

// After a load the sound chip holds a game's changes until the frame end, so that the mixer
// hears each frame's final state.
TEST_F(Loader, SoundChangesReachTheMixerAtTheFrameEnd) {
    ASSERT_EQ(load(test_cartridge(8192)), 1);
    mixer_reset();
    audio_set_paused(0);
    timer_ticks();                                         // the audio clock starts counting at the resume
    for (uint8_t b : {0x8E, 0x0F, 0x90}) cpu_out(0xFF, b); // 440 Hz at full level
    size_t from = headless_audio().size();
    timer_delay(100);
    EXPECT_GT(headless_audio().size(), from);
    EXPECT_FALSE(heard_from(from)) << "the change was heard before the frame end";
    while (cpu_hook(&cpu_state) != HOOK_STOP) {
    }
    from = headless_audio().size();
    timer_delay(100);
    EXPECT_TRUE(heard_from(from)) << "the change was not heard after the frame end";
    audio_set_paused(1);
    audio_wait_paused();
    mixer_reset();
}

// The frame-skip phase is not restarted by a load: with frame skip 2, a game that ended on a
// presented frame is followed by one whose first frame is skipped.
TEST_F(Loader, TheSkipPhaseCarriesIntoTheNextGame) {
    uint8_t saved = frame_skip;
    frame_skip = 2;
    skip_countdown = 0;
    std::vector<int> presented;
    for (int game = 0; game < 3; ++game) {
        std::fill(screen_surface.pixels, screen_surface.pixels + DISPLAY_WIDTH * DISPLAY_HEIGHT,
                  uint16_t(0x1234));
        ASSERT_EQ(load(test_cartridge(8192)), 1); // ends at its first frame end
        presented.push_back(screen_surface.pixels[100 * DISPLAY_WIDTH + 100] != 0x1234);
        release_machine();
    }
    EXPECT_EQ(presented, (std::vector<int>{1, 0, 1}));
    frame_skip = saved;
}

} // namespace
