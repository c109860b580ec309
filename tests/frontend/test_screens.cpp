// The screens as the user sees them, compared pixel for pixel with golden pictures: the welcome
// screen (also as the program's start-up shows it), the cartridge manager over the example
// folder, a scrolled 25-name list, an empty folder and names too long or odd for the panel, and
// the message box.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <string>
#include <vector>

#include "frontend/font.h"
#include "frontend/manager.h"
#include "frontend/panel.h"
#include "frontend/screens.h"
#include "machine/play.h"
#include "platform/platform.h"
#include "tests/frontend/screen_fixture.h"

namespace {

struct Screens : ScreenTest {
    void SetUp() override {
        ScreenTest::SetUp();
        if (!current_font)
            GTEST_SKIP() << "the built-in font cannot be loaded: the screens would show no text";
    }
};

#define EXPECT_GOLDEN(name) EXPECT_EQ(compare_screen_with_golden("frontend/golden/" name), "")

bool screen_is_black() {
    for (size_t i = 0; i < 320 * 240; ++i)
        if (screen_surface.pixels[i] != 0) return false;
    return true;
}

TEST_F(Screens, WelcomeStaysUntilXOrBAloneThenClearsTheScreen) {
    start("A:100-101, X+B:400-401, B:800-801");
    show_welcome();
    EXPECT_GE(headless_clock_ms(), 800u);
    EXPECT_TRUE(screen_is_black());
    // The panel is still composed in the back surface.
    blit(&back_surface, &screen_surface, 0, 0, 320, 240, 0, 0);
    EXPECT_GOLDEN("welcome.png");
}

TEST_F(Screens, ManagerOverTheExampleFolder) {
    make_files({"b.rom", "A.ROM", "Coleco.rom", "c.txt"});
    start("X:100-101");
    cartridge_manager();
    EXPECT_GOLDEN("manager_example.png");
}

TEST_F(Screens, ManagerScrolledToTheEndOfALongList) {
    make_files(numbered_names(25));
    start(presses("DOWN", 18, 100, 100) + "X:2000-2001");
    cartridge_manager();
    EXPECT_GOLDEN("manager_scrolled.png");
}

TEST_F(Screens, ManagerOverAnEmptyFolderSaysSoAndWaits) {
    // The folder it names is the one it read, where the card lies on the host.
    start("X:100-101");
    headless_config.card_folder = "/home/player/my card";
    cartridge_manager();
    EXPECT_GE(headless_clock_ms(), 100u);
    EXPECT_GOLDEN("manager_empty.png");
}

TEST_F(Screens, LongAndOddNamesStayInsideTheFrame) {
    make_files({std::string(120, 'W') + ".rom", "odd \x01\x7f\xe9\xff name.rom", "\"quote_under\".rom"});
    start("X:100-101");
    cartridge_manager();
    EXPECT_GOLDEN("manager_odd_names.png");
    // Right of the frame's right-hand line the panel shows its background only.
    for (int y = 34; y < 34 + 3 * 9; ++y)
        for (int x = 310; x < 315; ++x)
            EXPECT_EQ(screen_surface.pixels[y * 320 + x], 0x000D) << x << "," << y;
}

// The program's own start-up, in a child process with a heap that hands out dirty memory: the
// welcome screen is all the screen shows, with black around its panel.
void start_program_and_look_at_the_border() {
    mallopt(M_PERTURB, 0x5A);
    HeadlessConfig c = test_config("");
    c.run_ms = 50;
    headless_reset(c);
    std::atexit([] {
        const uint16_t* shown = headless_shown_buffer();
        int dirty = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                bool outside = x < WELCOME_STYLE.x || x >= WELCOME_STYLE.x + WELCOME_STYLE.w ||
                               y < WELCOME_STYLE.y || y >= WELCOME_STYLE.y + WELCOME_STYLE.h;
                dirty += outside && shown[y * 320 + x] != 0;
            }
        std::fprintf(stderr, "border pixels not black: %d\n", dirty);
    });
    program_main();
    std::exit(3);
}

TEST_F(Screens, WelcomeAtStartUpHasABlackBorder) {
    EXPECT_EXIT(start_program_and_look_at_the_border(), ::testing::ExitedWithCode(0),
                "border pixels not black: 0\n");
}

TEST_F(Screens, MessageBoxWaitsForXOrBWithoutRedrawing) {
    // After A the box pauses 200 ms before it looks again.
    start("A:100-101, B:500-501");
    message_box_wait("Something to say.");
    EXPECT_GE(headless_clock_ms(), 500u);
    EXPECT_GOLDEN("message_box.png");
}

} // namespace
