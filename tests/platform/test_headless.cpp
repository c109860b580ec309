// The headless back end: button scripts, the button word, the virtual clock, the display ring
// and the card mapping.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/headless/headless.h"
#include "platform/platform.h"

namespace {

TEST(ButtonScript, ParsesEntriesCombinationsAndComments) {
    std::vector<ScriptedPress> p;
    std::string error;
    ASSERT_TRUE(parse_button_script("B:100-200, up+a:300-310\n# a comment, ignored\nSELECT:0-1;", p, error))
        << error;
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].mask, BTN_B);
    EXPECT_EQ(p[0].start_ms, 100u);
    EXPECT_EQ(p[0].end_ms, 200u);
    EXPECT_EQ(p[1].mask, BTN_UP | BTN_A);
    EXPECT_EQ(p[2].mask, BTN_SELECT);
    EXPECT_TRUE(parse_button_script("", p, error));
    EXPECT_TRUE(p.empty());
}

TEST(ButtonScript, KeypadKeysAndTheSecondPlayer) {
    std::vector<ScriptedPress> p;
    std::string error;
    ASSERT_TRUE(parse_button_script("key7+P2UP+p2a:0-5, P2KEYSTAR+KEYHASH+B:5-6, p2key0:6-7, spinr+P2SPINL:7-8",
                                    p, error))
        << error;
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[3].spin, SPIN_FIRST_RIGHT | SPIN_SECOND_LEFT);
    EXPECT_EQ(p[0].mask, 0);
    EXPECT_EQ(p[0].keypad, 7);
    EXPECT_EQ(p[0].second_mask, BTN_UP | BTN_A);
    EXPECT_EQ(p[0].second_keypad, KEYPAD_NONE);
    EXPECT_EQ(p[1].mask, BTN_B);
    EXPECT_EQ(p[1].keypad, 11);
    EXPECT_EQ(p[1].second_keypad, 10);
    EXPECT_EQ(p[2].second_keypad, 0);
    EXPECT_EQ(p[2].keypad, KEYPAD_NONE);

    // Read at the clock time of the script, the first player's and the second player's apart.
    HeadlessConfig c;
    c.presses = p;
    headless_reset(c);
    EXPECT_EQ(read_keypad(0), 7);
    EXPECT_EQ(read_keypad(1), KEYPAD_NONE);
    EXPECT_EQ(read_second_pad(), BTN_UP | BTN_A);
    EXPECT_EQ(read_pad(), 0);
    timer_delay(5);
    EXPECT_EQ(read_keypad(0), 11);
    EXPECT_EQ(read_keypad(1), 10);
    EXPECT_EQ(read_second_pad(), 0);
    EXPECT_EQ(read_spinner(0), 0);
    timer_delay(2);
    EXPECT_EQ(read_keypad(0), KEYPAD_NONE);
    EXPECT_EQ(read_keypad(1), KEYPAD_NONE);
    EXPECT_EQ(read_spinner(0), SPINNER_KEY_STEPS);
    EXPECT_EQ(read_spinner(1), -SPINNER_KEY_STEPS);
}

TEST(ButtonScript, RejectsMalformedEntries) {
    std::vector<ScriptedPress> p;
    std::string error;
    for (const char* bad :
         {"B:500", "B100-200", "JUMP:1-2", "B:2-1", "B:x-9", "B:1-99999999999", "+:1-2", ":1-2", " :1-2",
          "KEY:1-2", "KEY10:1-2", "P2:1-2", "KEY1+KEY2:1-2", "P2P2UP:1-2"}) {
        EXPECT_FALSE(parse_button_script(bad, p, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

TEST(Buttons, LoneDiagonalsSplitIntoStraightDirections) {
    // Ports read 0 for a pressed control.
    auto word = [](uint16_t stick, uint16_t buttons = 0xFFFF) {
        return buttons_from_ports(stick, buttons, 0xFFFF);
    };
    EXPECT_EQ(word(0xFD) & 0xFF, uint32_t(BTN_UP | BTN_LEFT));
    EXPECT_EQ(word(0xF7) & 0xFF, uint32_t(BTN_LEFT | BTN_DOWN));
    EXPECT_EQ(word(0xDF) & 0xFF, uint32_t(BTN_DOWN | BTN_RIGHT));
    EXPECT_EQ(word(0x7F) & 0xFF, uint32_t(BTN_UP | BTN_RIGHT));
    // Only the stick port's pattern counts: B held does not stop the split.
    EXPECT_EQ(word(0xFD, 0xDFFF) & 0xFFFF, uint32_t(BTN_UP | BTN_LEFT | BTN_B));
    // UP together with UP-LEFT is not a lone diagonal.
    EXPECT_EQ(word(0xFC) & 0xFF, uint32_t(BTN_UP | BTN_UP_LEFT));
    EXPECT_EQ(word(0xFF), 0u);
}

TEST(Headless, ScriptedButtonsFollowTheVirtualClock) {
    HeadlessConfig c;
    std::string error;
    ASSERT_TRUE(parse_button_script("DOWN:10-20, UPLEFT:30-40", c.presses, error));
    headless_reset(c);
    EXPECT_EQ(read_pad(), 0);
    timer_delay(10);
    EXPECT_EQ(read_pad(), BTN_DOWN);
    timer_delay(10);
    EXPECT_EQ(read_pad(), 0);
    timer_delay(10);
    EXPECT_EQ(read_pad(), BTN_UP | BTN_LEFT);
}

TEST(Headless, VirtualClockMovesOnlyWhileThePollsWait) {
    headless_reset(HeadlessConfig{});
    uint32_t t0 = timer_ticks();
    timer_delay(0);
    EXPECT_LE(timer_ticks() - t0, 1u);
    timer_delay(500);
    uint32_t t1 = timer_ticks();
    EXPECT_GE(t1 - t0, 500u);
    EXPECT_LE(t1 - t0, 501u);
    // A busy wait on the clock ends.
    while (timer_ticks() - t1 < 20) {
    }
    EXPECT_EQ(headless_clock_ms() - t1, 20u);
}

TEST(Headless, StartUpAndTheSingleFlipShowTheDrawingBuffer) {
    headless_reset(HeadlessConfig{});
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    uint16_t* drawing = display_drawing_pointer();
    display_flip(0);
    drawing[0] = 0xBEEF;
    EXPECT_EQ(headless_shown_buffer()[0], 0xBEEF);
    EXPECT_NE(display_drawing_pointer(), drawing);
}

TEST(Headless, CardMapping) {
    HeadlessConfig c;
    c.card_folder = "/tmp/card";
    headless_reset(c);
    char out[64];
    ASSERT_TRUE(platform_map_path("/mnt/sd/roms/colecovision/a.rom", out, sizeof out));
    EXPECT_STREQ(out, "/tmp/card/roms/colecovision/a.rom");
    ASSERT_TRUE(platform_map_path("/usr/gp2x", out, sizeof out));
    EXPECT_STREQ(out, "/usr/gp2x");
    char tiny[8];
    EXPECT_FALSE(platform_map_path("/mnt/sd/roms/colecovision/a.rom", tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(platform_fopen("/mnt/sd/does/not/exist", "rb"), nullptr);
}

} // namespace
