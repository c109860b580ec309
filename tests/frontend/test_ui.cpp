// Waiting for presses and releases on the virtual clock, and what cancels the queued moves.
#include <gtest/gtest.h>

#include "frontend/ui.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace {

void start(const std::string& script) {
    HeadlessConfig c = test_config("");
    std::string error;
    ASSERT_TRUE(parse_button_script(script, c.presses, error)) << error;
    headless_reset(c);
}

TEST(UiWait, TimedWaitEndsAtTheLimitOrAtThePress) {
    start("");
    uint32_t t = headless_clock_ms();
    EXPECT_EQ(ui_wait_buttons(90), 0);
    EXPECT_GE(headless_clock_ms() - t, 90u);
    EXPECT_LE(headless_clock_ms() - t, 91u);

    // B held far longer than the limit: reported at once, the release wait ends at the limit.
    start("B:0-500");
    t = headless_clock_ms();
    EXPECT_EQ(ui_wait_buttons(90), BTN_B);
    EXPECT_LE(headless_clock_ms() - t, 91u);

    // A press after the limit is not seen.
    start("A:50-60");
    EXPECT_EQ(ui_wait_buttons(22), 0);
    EXPECT_EQ(ui_wait_buttons(90), BTN_A);
}

TEST(UiWait, UntimedWaitCountsEachPressOnceAndMasksTheSet) {
    // X with B is one press of both, neither of them alone.
    start("X+B:10-20");
    EXPECT_EQ(ui_wait_buttons(0), BTN_X | BTN_B);

    // The wait returns only after the release.
    start("B:100-300, A:400-410");
    EXPECT_EQ(ui_wait_buttons(0), BTN_B);
    EXPECT_GE(headless_clock_ms(), 300u);
    EXPECT_EQ(ui_wait_buttons(0), BTN_A);

    // A lone diagonal arrives as its two straight directions; with a straight direction held
    // as well the diagonal bit is not watched at all.
    start("UPLEFT:0-10, UP+UPLEFT:20-30, SELECT:40-50");
    EXPECT_EQ(ui_wait_buttons(0), BTN_UP | BTN_LEFT);
    EXPECT_EQ(ui_wait_buttons(0), BTN_UP);
    EXPECT_EQ(ui_wait_buttons(0), BTN_SELECT);
}

TEST(UiWait, ButtonsCancelQueuedMovesDirectionsDoNot) {
    start("DOWN:10-20, RIGHT:30-40, A:50-60, L:70-80, Y:90-100");
    pending_moves = 5;
    EXPECT_EQ(ui_wait_buttons(0), BTN_DOWN);
    EXPECT_EQ(ui_wait_buttons(90), BTN_RIGHT);
    EXPECT_EQ(pending_moves, 5);
    EXPECT_EQ(ui_wait_buttons(0), BTN_A);
    EXPECT_EQ(pending_moves, 0);
    pending_moves = -3;
    EXPECT_EQ(ui_wait_buttons(90), BTN_L);
    EXPECT_EQ(pending_moves, 0);
    pending_moves = 7;
    EXPECT_EQ(ui_wait_buttons(5), 0); // a time-out keeps the queue
    EXPECT_EQ(pending_moves, 7);
    EXPECT_EQ(ui_wait_buttons(0), BTN_Y);
    EXPECT_EQ(pending_moves, 0);
}

TEST(UiWait, ReleaseWaitsForEveryWatchedControl) {
    start("B:0-250, UPRIGHT:250-300");
    ui_wait_release(); // the lone diagonal reads as UP and RIGHT, which are watched
    EXPECT_GE(headless_clock_ms(), 300u);
    start("");
    uint32_t t = headless_clock_ms();
    ui_wait_release();
    EXPECT_LE(headless_clock_ms() - t, 1u);
}

} // namespace
