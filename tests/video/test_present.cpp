// The palette and the presentation: colours, where the picture lands on the screen, and the
// pacing of every frame to 60 frames per second on the headless back end's virtual clock.
#include "tests/video/vdp_fixture.h"

#include "cpu/z80.h"
#include "frontend/surface.h"
#include "machine/driver.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <random>

namespace {

struct Present : VdpFixture {
    uint8_t saved_skip = frame_skip;
    Z80State z{};
    void SetUp() override {
        VdpFixture::SetUp();
        headless_reset(test_config(""));
        screen_surface.pixels = display_drawing_pointer();
        screen_surface.pitch = screen_surface.width = DISPLAY_WIDTH;
        screen_surface.height = DISPLAY_HEIGHT;
    }
    void TearDown() override {
        frame_skip = saved_skip;
        VdpFixture::TearDown();
    }
    const uint16_t* screen() const { return headless_shown_buffer(); }
    // Runs the frame driver up to and including the next frame end, counting a presentation
    // when the frame was drawn (a drawn frame is presented at its own end).
    void run_frame(uint32_t* presented) {
        bool drawn = skip_countdown == 0;
        do cpu_hook(&z);
        while (scanline != 192);
        if (drawn) ++*presented;
    }
};

TEST_F(Present, PaletteAndPlacement) {
    const uint16_t expect[16] = {0x0000, 0x0000, 0x2604, 0x670C, 0x211C, 0x431C, 0xA104, 0x461C,
                                 0xE104, 0xE30C, 0xC604, 0xC610, 0x2404, 0xC214, 0xA514, 0xE71C};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(palette[i], expect[i]) << i;
        EXPECT_EQ(colour_map[i], i) << i;
    }
    std::fill(picture.begin(), picture.end(), uint8_t(15));
    picture[0] = 1;
    picture[1] = 0;
    picture[207 * 272 + 271] = 9;
    uint16_t* s = screen_surface.pixels;
    s[272] = 0x1234;
    s[208 * 320] = 0x4321;
    present_frame();
    EXPECT_EQ(screen()[0], 0x0000);
    EXPECT_EQ(screen()[1], 0x0000);
    EXPECT_EQ(screen()[2], 0xE71C);
    EXPECT_EQ(screen()[207 * 320 + 271], 0xE30C);
    EXPECT_EQ(screen()[206 * 320 + 271], 0xE71C);
    EXPECT_EQ(screen()[272], 0x1234);       // right of the picture: untouched
    EXPECT_EQ(screen()[208 * 320], 0x4321); // below it: untouched
}

TEST_F(Present, EveryPixelAtAnyAlignmentAndPitch) {
    // Random bytes: only their low four bits are the colour index.
    std::mt19937 rng(5);
    std::generate(picture.begin(), picture.end(), [&] { return uint8_t(rng()); });
    auto check = [&](const uint16_t* screen, int pitch, const uint8_t* from, const char* what) {
        for (int y = 0; y < VDP_PICTURE_HEIGHT; ++y)
            for (int x = 0; x < VDP_PICTURE_WIDTH; ++x)
                ASSERT_EQ(screen[y * pitch + x], palette[from[y * VDP_PICTURE_WIDTH + x] & 0x0F])
                    << what << ", row " << y << ", column " << x;
    };
    present_frame();
    check(screen(), DISPLAY_WIDTH, picture.data(), "aligned");

    // A screen that starts half a word in, with an odd pitch, and a picture one byte in.
    std::vector<uint16_t> odd(1 + 273 * VDP_PICTURE_HEIGHT + 1, 0x5555);
    std::vector<uint8_t> shifted(VDP_PICTURE_BYTES + 1);
    std::copy(picture.begin(), picture.end(), shifted.begin() + 1);
    uint16_t* saved = screen_surface.pixels;
    uint16_t saved_pitch = screen_surface.pitch;
    screen_surface.pixels = odd.data() + 1;
    screen_surface.pitch = 273;
    vdp_picture = shifted.data() + 1;
    present_frame();
    screen_surface.pixels = saved;
    screen_surface.pitch = saved_pitch;
    vdp_picture = picture.data();
    check(odd.data() + 1, 273, picture.data(), "unaligned");
    EXPECT_EQ(odd.front(), 0x5555);
    EXPECT_EQ(odd.back(), 0x5555);
    for (int y = 0; y + 1 < VDP_PICTURE_HEIGHT; ++y) EXPECT_EQ(odd[1 + size_t(y) * 273 + 272], 0x5555) << y;
}

TEST_F(Present, EveryFrameWaitsItsOwnTimeAndOnlyDrawingIsSkipped) {
    // 600 frames at frame skip 2: every frame end comes 16 or 17 ms after the previous one (the
    // sixtieths of a millisecond carry over), 300 of them presented, ten seconds in all; not
    // two frames back to back and then a wait for both.
    frame_skip = 2;
    skip_countdown = 0;
    last_present_ms = headless_clock_ms() - 1000; // long ago: pacing starts afresh at the first
    uint32_t presented = 0;
    run_frame(&presented);
    uint32_t start = headless_clock_ms(), previous = start;
    presented = 0;
    for (int i = 0; i < 600; ++i) {
        run_frame(&presented);
        uint32_t now = headless_clock_ms();
        ASSERT_GE(now - previous, 16u) << "frame " << i;
        ASSERT_LE(now - previous, 17u) << "frame " << i;
        previous = now;
    }
    EXPECT_EQ(presented, 300u);
    EXPECT_GE(previous - start, 9999u);
    EXPECT_LE(previous - start, 10001u);

    // Frame skip 1: sixty frames take one second, not 1.02.
    frame_skip = 1;
    start = headless_clock_ms();
    for (int i = 0; i < 60; ++i) run_frame(&presented);
    EXPECT_GE(headless_clock_ms() - start, 999u);
    EXPECT_LE(headless_clock_ms() - start, 1001u);

    // The presentation itself does not wait; a frame end that comes early still waits for its
    // due time.
    uint32_t before = headless_clock_ms();
    present_frame();
    EXPECT_EQ(headless_clock_ms(), before);
    timer_delay(5);
    before = headless_clock_ms();
    EXPECT_EQ(pace_frame(), 0u); // on time: not late
    EXPECT_GE(headless_clock_ms() - before, 11u);
    EXPECT_LE(headless_clock_ms() - before, 13u);
}

TEST_F(Present, FallingBehindStartsAfreshAndTheClockMayWrap) {
    pace_frame();
    // The host stalls for a second: the next frame ends at once, the one after that a frame
    // period later, with no burst of catch-up frames.
    timer_delay(1000);
    uint32_t before = headless_clock_ms();
    uint32_t late = pace_frame(); // how late it ended: the stall less the frame's own time
    EXPECT_GE(late, 983u);
    EXPECT_LE(late, 985u);
    EXPECT_LE(headless_clock_ms() - before, 1u);
    before = headless_clock_ms();
    pace_frame();
    EXPECT_GE(headless_clock_ms() - before, 16u);
    EXPECT_LE(headless_clock_ms() - before, 17u);
    // Late, but by less than the limit: the frame ends at once and the next one keeps the
    // original schedule, so the lost time is made up.
    timer_delay(50);
    before = headless_clock_ms();
    late = pace_frame();
    EXPECT_GE(late, 33u);
    EXPECT_LE(late, 35u);
    EXPECT_GT(pace_frame(), 0u);
    pace_frame();
    EXPECT_LE(headless_clock_ms() - before, 1u);

    // Bring the clock to 5 ms before it wraps around 2^32 and end a frame there: the wait for
    // the next one crosses the wrap and still lasts one frame period.
    timer_delay(0xFFFFFFFBu - headless_clock_ms());
    pace_frame();
    before = headless_clock_ms();
    ASSERT_GT(before, 0xFFFFFFF0u);
    pace_frame();
    uint32_t after = headless_clock_ms();
    EXPECT_LT(after, 100u);
    EXPECT_GE(after - before, 16u);
    EXPECT_LE(after - before, 17u);
}

} // namespace
