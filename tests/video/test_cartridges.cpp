// Test cartridges run on the whole machine (boot ROM, processor, ports, frame driver, video
// chip) on a small BIOS of their own until SELECT ends them; the screen is then compared with its golden
// picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "video/vdp.h"

namespace {

std::string test_rom(const std::string& name) {
    return std::string(VELKORO_VIDEO_TEST_ROMS) + "/" + name + ".rom";
}

struct Cartridges : ::testing::Test {
    TempFolder card;
    std::string roms = card.rom_folder();
    std::vector<uint8_t> picture = std::vector<uint8_t>(VDP_PICTURE_BYTES, 0);
    void SetUp() override {
        std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/coleco.rom");
        write_file(roms + "/coleco.rom", read_file(test_rom("tiny_bios")));
        vdp_picture = picture.data();
    }
    void TearDown() override {
        release_machine();
        vdp_picture = nullptr;
        screen_surface.pixels = nullptr;
    }
    // Runs a test cartridge with SELECT held from `select_ms` on; returns the frames it ran.
    uint32_t run(const std::string& scene, uint32_t select_ms = 300) {
        return run_image(scene, test_rom(scene), select_ms);
    }
    uint32_t run_image(const std::string& scene, const std::string& image, uint32_t select_ms) {
        write_file(roms + "/" + scene + ".rom", read_file(image));
        HeadlessConfig c = test_config(card.path);
        c.presses.push_back({BTN_SELECT, select_ms, 0xFFFFFFFFu});
        headless_reset(c);
        // The same frames every run: pacing and the skip phase start from scratch.
        last_present_ms = last_present_sixtieths = 0;
        skip_countdown = 0;
        screen_surface.pixels = display_drawing_pointer();
        screen_surface.pitch = screen_surface.width = DISPLAY_WIDTH;
        screen_surface.height = DISPLAY_HEIGHT;
        EXPECT_EQ(run_cartridge(("/mnt/sd/roms/colecovision/" + scene + ".rom").c_str()), 1);
        return headless_frames();
    }
};

TEST_F(Cartridges, EveryDisplayModeMatchesItsGolden) {
    for (const char* scene : {"text", "graphics1", "graphics2", "multicolour", "blank"}) {
        run(scene);
        EXPECT_EQ(compare_screen_with_golden(std::string("video/golden/") + scene + ".png"), "") << scene;
        release_machine();
    }
}

TEST_F(Cartridges, DemoShowsTheNameAndMovesItsBalls) {
    run_image("demo", built_rom("Bouncing balls.rom"), 1000);
    EXPECT_EQ(compare_screen_with_golden("video/golden/demo.png"), "");
    std::vector<uint16_t> first(headless_shown_buffer(),
                                headless_shown_buffer() + DISPLAY_WIDTH * DISPLAY_HEIGHT);
    release_machine();
    run_image("demo", built_rom("Bouncing balls.rom"), 1500);
    std::vector<uint16_t> later(headless_shown_buffer(),
                                headless_shown_buffer() + DISPLAY_WIDTH * DISPLAY_HEIGHT);
    EXPECT_NE(first, later);
}

// The fifth-sprite bits as a game reads them (tests/video/roms/fifth.asm), on drawn and on
// skipped frames alike.
TEST_F(Cartridges, FifthSpriteFlagAndNumber) {
    uint8_t saved = frame_skip;
    for (uint8_t skip : {1, 2}) {
        frame_skip = skip;
        run("fifth", 500);
        const uint8_t expected[] = {0xC4, 0xC5, 0xC9, 0x82, 0x9F, 0x86, 0x5A};
        for (size_t i = 0; i < sizeof expected; ++i)
            EXPECT_EQ(cpu_memory[0x7000 + i], expected[i]) << "frame skip " << int(skip) << ", " << i;
        release_machine();
    }
    frame_skip = saved;
}

// The benchmark's MegaCart moves its sprites with the routines of banks 0-3 and writes nothing
// else: every sprite keeps its place in the table, and sprite i moves by ((32 - i) mod 4) + 1 a
// turn of the loop (the sprites after the one the game ended at, a turn fewer).
TEST_F(Cartridges, BankSwitchingBenchmarkRunsAsWritten) {
    run("busy_banks", 300);
    const uint8_t* table = cpu_memory + 0x7000;
    const int turns = table[1]; // sprite 0 moves by 1 a turn
    ASSERT_GT(turns, 0);
    for (int i = 0; i < 32; ++i) {
        const uint8_t* entry = table + 4 * i;
        EXPECT_EQ(entry[0], 5 * i) << i;
        EXPECT_EQ(entry[2], 4 * i) << i;
        int step = ((32 - i) & 3) + 1;
        uint8_t moved = uint8_t(entry[1] - 8 * i);
        EXPECT_TRUE(moved == uint8_t(step * turns) || moved == uint8_t(step * (turns - 1))) << i;
    }
}

TEST_F(Cartridges, SelectEndsTheGameAtAFrameEndPacedAtSixtyHertz) {
    // SELECT from 10 s on: at 60 frames a second the game sees it at frame 600 or 601.
    uint8_t saved = frame_skip;
    frame_skip = 2;
    uint32_t frames = run("graphics2", 10000);
    EXPECT_GE(frames, 600u);
    EXPECT_LE(frames, 602u);
    EXPECT_GE(headless_clock_ms(), 10000u);
    EXPECT_LE(headless_clock_ms(), 10050u);
    frame_skip = saved;
}

} // namespace
