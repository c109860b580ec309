// Fills, lines, copies and recolouring, including what clipping must leave alone.
#include <gtest/gtest.h>

#include <vector>

#include "frontend/surface.h"

namespace {

struct Canvas {
    std::vector<uint16_t> pixels;
    Surface s;
    Canvas(uint16_t w, uint16_t h, uint16_t fill = 0x1111) : pixels(size_t(w) * h, fill) {
        s = Surface{pixels.data(), 0, 16, w, w, h};
    }
    uint16_t at(int x, int y) const { return pixels[size_t(y) * s.pitch + size_t(x)]; }
    size_t count(uint16_t colour) const {
        size_t n = 0;
        for (uint16_t p : pixels) n += p == colour;
        return n;
    }
};

TEST(Surface, FillRect) {
    Canvas c(320, 240);
    fill_rect(&c.s, 0xF800, 5, 5, 0, 10);
    fill_rect(&c.s, 0xF800, 5, 5, 10, 0);
    EXPECT_EQ(c.count(0x1111), 320u * 240u);
    fill_rect(&c.s, 0x07E0, 0, 0, 320, 240);
    EXPECT_EQ(c.count(0x07E0), 76800u);
    fill_rect(&c.s, 0x001F, 3, 4, 13, 2); // not a multiple of the unrolled run
    EXPECT_EQ(c.count(0x001F), 26u);
    EXPECT_EQ(c.at(3, 4), 0x001F);
    EXPECT_EQ(c.at(15, 5), 0x001F);
    EXPECT_EQ(c.at(16, 5), 0x07E0);
    EXPECT_EQ(c.at(3, 6), 0x07E0);
}

TEST(Surface, ClippingKeepsInsideAndTouchesNothingOutside) {
    // A canvas inside a larger block: the guard rows and columns around it must stay untouched.
    std::vector<uint16_t> block(size_t(40) * 30, 0xAAAA);
    Surface s{block.data() + 40 * 5 + 5, 0, 16, 40, 20, 10};
    fill_rect(&s, 0x1234, 15, 8, 100, 100);
    draw_hline(&s, 0x2222, 18, 0, 50);
    draw_vline(&s, 0x3333, 0, 9, 50);
    draw_line(&s, 0x4444, -5, -5, 30, 30);
    fill_rect(&s, 0x5555, 0xFFF0, 0, 0x20, 2); // end wraps past 0xFFFF: nothing drawn
    size_t inside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            bool in = x >= 5 && x < 25 && y >= 5 && y < 15;
            uint16_t p = block[size_t(y) * 40 + size_t(x)];
            if (!in)
                ASSERT_EQ(p, 0xAAAA) << x << "," << y;
            else
                inside += p != 0xAAAA;
        }
    // Inside: the clipped fill (5 x 2), the hline's 2 pixels, the vline's 1 and the diagonal's 10.
    EXPECT_EQ(block[size_t(5 + 8) * 40 + 5 + 15], 0x1234);
    EXPECT_EQ(block[size_t(5 + 9) * 40 + 5 + 19], 0x1234);
    EXPECT_EQ(block[size_t(5 + 0) * 40 + 5 + 19], 0x2222);
    EXPECT_EQ(block[size_t(5 + 9) * 40 + 5 + 0], 0x3333);
    EXPECT_EQ(block[size_t(5 + 3) * 40 + 5 + 3], 0x4444);
    EXPECT_EQ(inside, 23u);
}

TEST(Surface, LinesFollowTheStepRule) {
    Canvas c(16, 16, 0);
    draw_line(&c.s, 1, 0, 0, 3, 1);
    EXPECT_EQ(c.at(0, 0), 1);
    EXPECT_EQ(c.at(1, 0), 1);
    EXPECT_EQ(c.at(2, 1), 1);
    EXPECT_EQ(c.at(3, 1), 1);
    EXPECT_EQ(c.count(1), 4u);
    draw_line(&c.s, 2, 7, 7, 7, 7);
    EXPECT_EQ(c.count(2), 1u);
    EXPECT_EQ(c.at(7, 7), 2);
    draw_line(&c.s, 3, 10, 15, 10, 8); // steep, upwards, both end points
    EXPECT_EQ(c.count(3), 8u);
    draw_hline(&c.s, 4, 0, 12, 0);
    draw_vline(&c.s, 4, 12, 0, 0);
    EXPECT_EQ(c.count(4), 0u);
}

TEST(Surface, BlitCopiesAndClips) {
    Canvas src(8, 8, 0);
    for (int i = 0; i < 64; ++i) src.pixels[size_t(i)] = uint16_t(i + 1);
    Canvas dst(6, 6, 0xFFFF);
    blit(&src.s, &dst.s, 2, 3, 4, 2, 1, 1);
    EXPECT_EQ(dst.at(1, 1), src.at(2, 3));
    EXPECT_EQ(dst.at(4, 2), src.at(5, 4));
    EXPECT_EQ(dst.count(0xFFFF), 36u - 8u);
    blit(&src.s, &dst.s, 0, 0, 8, 8, 4, 4); // runs off the destination's corner
    EXPECT_EQ(dst.at(5, 5), src.at(1, 1));
    EXPECT_EQ(dst.at(4, 4), src.at(0, 0));
}

TEST(Surface, RecolourImage) {
    uint16_t px[4] = {1, 2, 1, 3};
    Image img{};
    img.width = 2;
    img.height = 2;
    img.pixels = px;
    recolour_image(&img, 1, 1);
    EXPECT_EQ(px[0], 1);
    recolour_image(&img, 1, 9);
    EXPECT_EQ(px[0], 9);
    EXPECT_EQ(px[2], 9);
    EXPECT_EQ(px[1], 2);
}

} // namespace
