// The screens as the user sees them, compared pixel for pixel with golden pictures: the welcome
// screen, the cartridge manager over the example folder, a scrolled 25-name list, an empty folder
// and names too long or odd for the panel, and the message box.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/font.h"
#include "frontend/manager.h"
#include "frontend/panel.h"
#include "frontend/screens.h"
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

TEST_F(Screens, ManagerOverAnEmptyFolder) {
    start("");
    cartridge_manager();
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

TEST_F(Screens, MessageBoxWaitsForXOrBWithoutRedrawing) {
    // After A the box pauses 200 ms before it looks again.
    start("A:100-101, B:500-501");
    message_box_wait("Something to say.");
    EXPECT_GE(headless_clock_ms(), 500u);
    EXPECT_GOLDEN("message_box.png");
}

} // namespace
