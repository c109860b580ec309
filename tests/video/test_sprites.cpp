// Sprites: selection, the four-per-line limit, drawing order, clipping, the early clock, Y
// wrap, 16 x 16 patterns, and the frame-end collision check.
#include "tests/video/vdp_fixture.h"

namespace {

constexpr uint16_t ATTR = 0x1B00;
constexpr uint16_t PATTERNS = 0x3800;

struct Sprites : VdpFixture {
    void SetUp() override {
        VdpFixture::SetUp();
        set_register(1, 0x40); // graphics I, 8 x 8
        set_register(2, 0x06);
        set_register(3, 0x80);
        set_register(4, 0x00);
        set_register(5, 0x36);
        set_register(6, 0x07);
        set_register(7, 0x01);
        vram[ATTR] = 0xD0;
        // Pattern 1: solid 8 x 8; patterns 4..7: solid 16 x 16; pattern 2: left column only.
        std::fill(vram.begin() + PATTERNS + 8, vram.begin() + PATTERNS + 16, uint8_t(0xFF));
        std::fill(vram.begin() + PATTERNS + 32, vram.begin() + PATTERNS + 64, uint8_t(0xFF));
        std::fill(vram.begin() + PATTERNS + 16, vram.begin() + PATTERNS + 24, uint8_t(0x80));
    }
    void sprite(int i, uint8_t y, uint8_t x, uint8_t name, uint8_t flags) {
        poke(uint16_t(ATTR + 4 * i), {y, x, name, flags});
        vram[ATTR + 4 * i + 4] = 0xD0;
    }
    uint8_t at(int line, int x) const { return pixel(line + VDP_BORDER, x + VDP_BORDER); }
    int count_colour(int line, uint8_t colour) const {
        int n = 0;
        for (int x = -8; x < 264; ++x) n += at(line, x) == colour;
        return n;
    }
};

TEST_F(Sprites, SelectionLimitAndOrder) {
    // First Y of 0xD0: nothing drawn, nothing collides.
    vram[ATTR] = 0xD0;
    vram[ATTR + 4] = 10;
    render_frame();
    EXPECT_EQ(count_colour(11, 1), 272);
    EXPECT_FALSE(vdp_frame_end());
    EXPECT_EQ(vdp.status & STATUS_COLLISION, 0);

    // Five sprites on a line: the first four are drawn; the fifth is not reported.
    for (int i = 0; i < 5; ++i) sprite(i, 20, uint8_t(20 * i), 1, uint8_t(2 + i));
    render_frame();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(at(21, 20 * i), 2 + i) << i;
    EXPECT_EQ(at(21, 80), 1);
    vdp_frame_end();
    EXPECT_EQ(vdp.status & 0x5F, 0x1F);

    // A transparent sprite still takes a place.
    poke(ATTR + 3, {0x00});
    render_frame();
    EXPECT_EQ(at(21, 0), 1);
    EXPECT_EQ(at(21, 80), 1);

    // Overlap: the lower-numbered sprite is on top.
    sprite(0, 40, 100, 1, 0x08);
    sprite(1, 40, 104, 1, 0x09);
    render_frame();
    EXPECT_EQ(at(41, 103), 8);
    EXPECT_EQ(at(41, 104), 8);
    EXPECT_EQ(at(41, 108), 9);
    EXPECT_EQ(at(40, 104), 1); // a sprite covers lines Y + 1 .. Y + 8
    EXPECT_EQ(at(48, 104), 8);
    EXPECT_EQ(at(49, 104), 1);
}

TEST_F(Sprites, PositionsClippingAndSizes) {
    // Y = 0xFF puts row 0 on line 0; Y = 0 on line 1.
    sprite(0, 0xFF, 0, 2, 0x0F);
    sprite(1, 0x00, 50, 2, 0x0E);
    render_frame();
    EXPECT_EQ(at(0, 0), 15);
    EXPECT_EQ(at(7, 0), 15);
    EXPECT_EQ(at(8, 0), 1);
    EXPECT_EQ(at(0, 50), 1);
    EXPECT_EQ(at(1, 50), 14);

    // X = 250 shows six columns, the border untouched.
    sprite(0, 60, 250, 1, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 6);
    EXPECT_EQ(at(61, 256), 1);

    // 16 x 16: name 7 uses the patterns of name 4; early clock with X = 0x11 shows only the
    // rightmost column at screen column 0; X = 0x10 shows nothing.
    set_register(1, 0x42);
    sprite(0, 60, 0x11, 7, 0x8F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 1);
    EXPECT_EQ(at(61, 0), 15);
    EXPECT_EQ(count_colour(76, 15), 1);
    EXPECT_EQ(count_colour(77, 15), 0);
    sprite(0, 60, 0x10, 7, 0x8F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 0);
    sprite(0, 60, 100, 7, 0x0F);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 16);
    EXPECT_EQ(at(61, 100), 15);
    EXPECT_EQ(at(61, 115), 15);

    // Magnification changes nothing.
    set_register(1, 0x43);
    render_frame();
    EXPECT_EQ(count_colour(61, 15), 16);
    EXPECT_EQ(count_colour(77, 15), 0);

    // Tables at the very end of video memory are read wrapped, never beyond.
    set_register(5, 0xFF);
    set_register(6, 0x3F);
    poke(0x3F80, {0x10, 0x10, 0xFF, 0x0F, 0xD0});
    render_frame();
    vdp_frame_end();
}

TEST_F(Sprites, CollisionCheck) {
    auto collided = [&] {
        vdp_frame_end();
        return (vdp_read_status() & STATUS_COLLISION) != 0;
    };
    // Boxes overlap but pixels do not: pattern 2 is only its left column.
    sprite(0, 10, 10, 2, 0x0F);
    sprite(1, 10, 12, 2, 0x0F);
    EXPECT_FALSE(collided());
    poke(ATTR + 5, {11});
    EXPECT_FALSE(collided());
    poke(ATTR + 5, {10});
    EXPECT_TRUE(collided());
    // A colour-0 sprite never collides.
    sprite(0, 10, 10, 1, 0x0F);
    sprite(1, 12, 12, 1, 0x00);
    EXPECT_FALSE(collided());
    // dy = -7: row 7 of the first meets row 0 of the second.
    sprite(0, 10, 30, 1, 0x0F);
    sprite(1, 17, 30, 1, 0x0E);
    EXPECT_TRUE(collided());
    sprite(1, 18, 30, 1, 0x0E);
    EXPECT_FALSE(collided());
    // Sprites beyond the per-line limit, or off the screen, still collide.
    for (int i = 0; i < 4; ++i) sprite(i, 100, uint8_t(40 * i), 1, 0x0F);
    sprite(4, 0xC0, 200, 1, 0x0F);
    sprite(5, 0xC3, 203, 1, 0x0F);
    EXPECT_TRUE(collided());
    // Magnified sprites collide at their normal size; 16 x 16 ones at theirs.
    sprite(0, 10, 10, 1, 0x0F);
    sprite(1, 10, 18, 1, 0x0F);
    set_register(1, 0x41);
    EXPECT_FALSE(collided());
    sprite(0, 10, 10, 4, 0x0F);
    sprite(1, 10, 25, 4, 0x0F);
    set_register(1, 0x42);
    EXPECT_TRUE(collided());
}

} // namespace
