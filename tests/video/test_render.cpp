// The background renderers: what each mode draws where, the border and blanking rules, and the
// colour-0 remap.
#include "tests/video/vdp_fixture.h"

namespace {

struct Render : VdpFixture {
    // Row of visible line L in the picture.
    uint8_t at(int line, int column) const { return pixel(line + VDP_BORDER, column); }
};

TEST_F(Render, GraphicsOneTilesColoursAndBackdrop) {
    set_register(1, 0x40); // graphics I, display on
    set_register(2, 0x06); // names 0x1800
    set_register(3, 0x80); // colours 0x2000
    set_register(4, 0x00); // patterns 0x0000
    set_register(5, 0x36); // attributes 0x1B00
    set_register(7, 0x04); // backdrop 4
    vram[0x1B00] = 0xD0;
    vram[0x1800 + 1] = 0x08; // tile 1 of row 0: name 8 (colour byte 1)
    poke(0x08 * 8, {0xA5, 0x0F});
    vram[0x2001] = 0x10; // colour 1 on transparent
    render_frame();
    // Set pixels in colour 1, clear pixels in the backdrop colour.
    const uint8_t expect[8] = {1, 4, 1, 4, 4, 1, 4, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(at(0, 16 + i), expect[i]) << i;
    EXPECT_EQ(at(1, 16), 4);
    EXPECT_EQ(at(1, 23), 1);
    // Name 0 uses colour byte 0 (0x00, all transparent) and the borders are the backdrop.
    for (int c : {0, 7, 8, 15, 24, 263, 264, 271}) EXPECT_EQ(at(0, c), 4) << c;
    EXPECT_EQ(pixel(0, 0), 4);
    EXPECT_EQ(pixel(207, 271), 4);

    // Blanked display: whole rows of the backdrop, sprites included.
    poke(0x1B00, {0x00, 0x00, 0x00, 0x0F, 0xD0});
    poke(0x0000, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    set_register(1, 0x00);
    render_frame();
    for (int c = 0; c < VDP_PICTURE_WIDTH; ++c) ASSERT_EQ(at(0, c), 4) << c;
    for (int c = 0; c < VDP_PICTURE_WIDTH; ++c) ASSERT_EQ(at(1, c), 4) << c;
}

TEST_F(Render, BordersFollowTheBackdropOfTheirLine) {
    set_register(1, 0x40);
    set_register(5, 0x36);
    vram[0x1B00] = 0xD0;
    set_register(7, 0x02);
    for (int line = 0; line <= 100; ++line) vdp_render_line(uint8_t(line));
    set_register(7, 0x06);
    for (int line = 101; line < 192; ++line) vdp_render_line(uint8_t(line));
    EXPECT_EQ(pixel(0, 100), 2); // top border: drawn with line 0
    EXPECT_EQ(pixel(108, 0), 2); // line 100
    EXPECT_EQ(pixel(109, 0), 6); // line 101
    EXPECT_EQ(pixel(109, 271), 6);
    EXPECT_EQ(pixel(207, 5), 6); // bottom border: drawn with line 191
    // Backdrop 0 keeps colour 0 (the only way index 0 reaches the picture).
    set_register(7, 0x00);
    vdp_render_line(191);
    EXPECT_EQ(pixel(200, 0), 0);
    EXPECT_EQ(colour_map[0], 0);
}

TEST_F(Render, TextModeCharactersAndColours) {
    set_register(1, 0x50); // text, display on
    set_register(2, 0x02); // names 0x0800
    set_register(4, 0x01); // patterns 0x0800..: characters at 0x0800 + n x 8
    set_register(7, 0xF4); // white on dark blue
    std::fill(vram.begin() + 0x800, vram.begin() + 0x800 + 960, uint8_t(0x20));
    vram[0x800 + 0x20 * 8] = 0x00; // character 0x20 blank
    vram[0x800 + 1] = 0x41;        // second character: 'A'
    vram[0x800 + 0x41 * 8] = 0xFC; // six pixels set; bits 1..0 are never shown
    vram[0x800 + 0x41 * 8 + 1] = 0x83;
    render_frame();
    for (int c = 0; c < 22; ++c) EXPECT_EQ(at(0, c), 4) << c;
    for (int c = 22; c < 28; ++c) EXPECT_EQ(at(0, c), 15) << c;
    EXPECT_EQ(at(0, 28), 4);
    EXPECT_EQ(at(1, 22), 15);
    for (int c = 23; c < 28; ++c) EXPECT_EQ(at(1, c), 4) << c;
    for (int c = 250; c < 272; ++c) EXPECT_EQ(at(0, c), 4) << c;
    // A text colour of 0 shows the backdrop: the text vanishes.
    set_register(7, 0x04);
    render_frame();
    for (int c = 0; c < VDP_PICTURE_WIDTH; ++c) ASSERT_EQ(at(0, c), 4) << c;
}

TEST_F(Render, GraphicsTwoThirdsAndMulticolourBands) {
    set_register(0, 0x02);
    set_register(1, 0x40); // graphics II
    set_register(2, 0x06); // names 0x1800
    set_register(3, 0xFF); // colours 0x2000
    set_register(4, 0x03); // patterns 0x0000
    set_register(5, 0x36);
    set_register(7, 0x01);
    vram[0x1B00] = 0xD0;
    // Name 0 everywhere; row 7 of the top third solid in colour 2, row 0 of the middle third
    // solid in colour 3 (0x800 further on).
    vram[7] = 0xFF;
    vram[0x2000 + 7] = 0x20;
    vram[0x800] = 0xFF;
    vram[0x2800] = 0x30;
    render_frame();
    EXPECT_EQ(at(63, 8), 2);
    EXPECT_EQ(at(64, 8), 3);
    EXPECT_EQ(at(65, 8), 1); // row 1 of the middle third: colour 0 on 0 -> backdrop
    EXPECT_EQ(at(128, 8), 1);

    // Multicolour: lines 0..3 of a name row use pattern byte 0, lines 4..7 byte 1, the second
    // name row bytes 2 and 3.
    set_register(0, 0x00);
    set_register(1, 0x48);
    set_register(4, 0x00);
    ASSERT_EQ(vdp.mode, MODE_MULTICOLOUR);
    poke(0x0000, {0x23, 0x45, 0x67, 0x89, 0xAB});
    render_frame();
    EXPECT_EQ(at(0, 8), 2);
    EXPECT_EQ(at(3, 11), 2);
    EXPECT_EQ(at(3, 12), 3);
    EXPECT_EQ(at(4, 8), 4);
    EXPECT_EQ(at(7, 15), 5);
    EXPECT_EQ(at(8, 8), 6);
    EXPECT_EQ(at(12, 15), 9);
    EXPECT_EQ(at(16, 8), 10); // third name row: byte 4
    EXPECT_EQ(at(32, 8), 2);  // fifth name row: byte 0 again
}

} // namespace
