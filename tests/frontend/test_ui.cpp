// Waiting for presses and releases on the virtual clock: each press counted once, held
// directions repeated, and what cancels the queued moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The clock times at which timed waits of `timeout` ms report a press, over `until` ms.
std::vector<uint32_t> reports(uint32_t timeout, uint32_t until, uint16_t* last = nullptr) {
    std::vector<uint32_t> at;
    while (headless_clock_ms() < until)
        if (uint16_t b = ui_wait_buttons(timeout)) {
            at.push_back(headless_clock_ms());
            if (last) *last = b;
        }
    return at;
}

// Times rounded down to the 10 ms they fall in, so that poll steps do not matter.
std::vector<uint32_t> tens(std::vector<uint32_t> v) {
    for (uint32_t& t : v) t -= t % 10;
    return v;
}

TEST(UiWait, TimedWaitsCountAPressOnceWhateverItsLength) {
    for (uint32_t length : {1u, 50u, 89u, 91u, 200u, 399u}) {
        start("RIGHT:100-" + std::to_string(100 + length) + ", B:1000-" + std::to_string(1000 + length));
        EXPECT_EQ(tens(reports(22, 1500)), (std::vector<uint32_t>{100, 1000})) << length << " ms";
        start("RIGHT:100-" + std::to_string(100 + length));
        EXPECT_EQ(tens(reports(90, 600)), (std::vector<uint32_t>{100})) << length << " ms";
    }
    // Pressed again after a release, it counts again; so does a second control joining the first.
    start("DOWN:100-150, DOWN:160-200, A:300-600, A+B:400-450");
    uint16_t last = 0;
    EXPECT_EQ(tens(reports(90, 700, &last)), (std::vector<uint32_t>{100, 160, 300, 400}));
    EXPECT_EQ(last, BTN_A | BTN_B);
}

TEST(UiWait, HeldDirectionsRepeatButtonsDoNot) {
    // After 400 ms, every 100 ms, whatever the waits' own limits.
    for (uint32_t timeout : {22u, 90u}) {
        start("DOWN:100-1050");
        std::vector<uint32_t> at;
        std::vector<bool> repeated;
        while (headless_clock_ms() < 1200)
            if (ui_wait_buttons(timeout) == BTN_DOWN) {
                at.push_back(headless_clock_ms());
                repeated.push_back(ui_press_repeated);
            }
        EXPECT_EQ(tens(at), (std::vector<uint32_t>{100, 500, 600, 700, 800, 900, 1000})) << timeout;
        EXPECT_EQ(repeated, (std::vector<bool>{false, true, true, true, true, true, true})) << timeout;
    }
    // A held button, or a direction held with a button, is reported once.
    start("B:100-1000");
    EXPECT_EQ(tens(reports(90, 1200)), (std::vector<uint32_t>{100}));
    start("UP+X:100-1000");
    EXPECT_EQ(tens(reports(90, 1200)), (std::vector<uint32_t>{100}));
    // Turning the stick from DOWN to UP is a fresh press, and UP's repeats start from it.
    start("DOWN:100-300, UP:300-800");
    EXPECT_EQ(tens(reports(90, 900)), (std::vector<uint32_t>{100, 300, 700}));
    // Letting go ends the repeats; waiting for the release forgets what was held.
    start("LEFT:100-550, LEFT:560-570");
    EXPECT_EQ(tens(reports(90, 900)), (std::vector<uint32_t>{100, 500, 560}));
    start("RIGHT:0-200, RIGHT:210-400");
    EXPECT_EQ(ui_wait_buttons(90), BTN_RIGHT);
    ui_wait_release();
    timer_delay(20);
    EXPECT_EQ(ui_wait_buttons(90), BTN_RIGHT);
    EXPECT_FALSE(ui_press_repeated);
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
