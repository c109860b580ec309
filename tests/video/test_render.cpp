// The background renderers: what each mode draws where, the border and blanking rules, and the
// colour-0 remap; then every mode against a plain per-pixel model over random video memory, and
// the same pictures wherever the picture buffer starts.
#include "tests/video/vdp_fixture.h"

#include <algorithm>
#include <random>

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

// One pixel at a time, straight from the tables: the row of the picture that visible line
// `line` should show when no sprite is drawn.
std::vector<uint8_t> model_row(const std::vector<uint8_t>& vram, int line) {
    auto at = [&](uint32_t address) { return vram[address & VDP_ADDRESS_MASK]; };
    uint8_t backdrop = vdp.backdrop_colour;
    auto shown = [&](int colour) { return uint8_t(colour == 0 ? backdrop : colour); };
    std::vector<uint8_t> row(VDP_PICTURE_WIDTH, backdrop);
    uint32_t y = uint32_t(line);
    if (vdp.mode == MODE_TEXT) {
        for (uint32_t k = 0; k < 40; ++k) {
            uint8_t p = at(vdp.pattern_base + at(vdp.name_base + (y / 8) * 40 + k) * 8u + y % 8);
            for (int j = 0; j < 6; ++j)
                row[16 + 6 * k + uint32_t(j)] = (p & (0x80 >> j)) ? shown(vdp.text_colour) : backdrop;
        }
        return row;
    }
    for (uint32_t k = 0; k < 32; ++k) {
        uint32_t n = at(vdp.name_base + (y / 8) * 32 + k);
        uint8_t fg, bg, p = 0xF0;
        if (vdp.mode == MODE_MULTICOLOUR) {
            uint8_t b = at(vdp.pattern_base + n * 8 + (y / 4) % 8);
            fg = b >> 4;
            bg = b & 0x0F;
        } else {
            uint32_t third = vdp.mode == MODE_GRAPHICS2 ? (y / 64) * 0x800 : 0;
            p = at(vdp.pattern_base + third + n * 8 + y % 8);
            uint8_t c = vdp.mode == MODE_GRAPHICS2 ? at(vdp.colour_base + third + n * 8 + y % 8)
                                                   : at(vdp.colour_base + n / 8);
            fg = c >> 4;
            bg = c & 0x0F;
        }
        for (int j = 0; j < 8; ++j) row[8 + 8 * k + uint32_t(j)] = shown((p & (0x80 >> j)) ? fg : bg);
    }
    return row;
}

TEST_F(Render, EveryModeMatchesThePlainModelWhereverThePictureStarts) {
    std::mt19937 rng(11);
    // R0, R1, the table bases of each mode (the last of them at the top of video memory) and
    // R7: text in colour 15 on 4, then backdrops, 0 among them.
    struct Mode {
        const char* name;
        uint8_t r0, r1, r2, r3, r4, r7;
    };
    const Mode modes[] = {{"text", 0x00, 0x50, 0x0F, 0x00, 0x07, 0xF4},
                          {"graphics I", 0x00, 0x40, 0x0F, 0xFF, 0x07, 0x07},
                          {"graphics II", 0x02, 0x40, 0x0E, 0xFF, 0x07, 0x0C},
                          {"graphics II, tables low", 0x02, 0x40, 0x06, 0x7F, 0x03, 0x00},
                          {"multicolour", 0x00, 0x48, 0x0F, 0x00, 0x07, 0x05}};
    std::vector<uint8_t> shifted(VDP_PICTURE_BYTES + 4);
    for (const Mode& m : modes) {
        std::generate(vram.begin(), vram.end(), [&] { return uint8_t(rng()); });
        set_register(0, m.r0);
        set_register(1, m.r1);
        set_register(2, m.r2);
        set_register(3, m.r3);
        set_register(4, m.r4);
        set_register(5, 0x36);
        set_register(6, 0x07);
        set_register(7, m.r7);
        // Without sprites, against the model; the borders are the backdrop.
        vram[0x1B00] = 0xD0;
        render_frame();
        for (int line = 0; line < VDP_VISIBLE_LINES; ++line) {
            std::vector<uint8_t> want = model_row(vram, line);
            const uint8_t* drawn = &picture[size_t(line + VDP_BORDER) * VDP_PICTURE_WIDTH];
            auto miss = std::mismatch(want.begin(), want.end(), drawn);
            ASSERT_TRUE(miss.first == want.end())
                << m.name << ", line " << line << ", column " << (miss.first - want.begin()) << ": drawn "
                << int(*miss.second) << ", expected " << int(*miss.first);
        }
        for (int column = 0; column < VDP_PICTURE_WIDTH; ++column) {
            ASSERT_EQ(pixel(0, column), vdp.backdrop_colour) << m.name;
            ASSERT_EQ(pixel(VDP_PICTURE_HEIGHT - 1, column), vdp.backdrop_colour) << m.name;
        }
        // With random sprites, the picture is the same byte for byte at every alignment.
        for (int i = 0; i < 128; i += 4) {
            vram[0x1B00 + i] = uint8_t(rng() % 200);
            vram[0x1B00 + i + 3] = uint8_t(rng());
        }
        render_frame();
        for (size_t offset = 1; offset < 4; ++offset) {
            std::fill(shifted.begin(), shifted.end(), uint8_t(0xEE));
            vdp_picture = shifted.data() + offset;
            render_frame();
            vdp_picture = picture.data();
            ASSERT_TRUE(std::equal(picture.begin(), picture.end(), shifted.begin() + long(offset)))
                << m.name << ", picture at offset " << offset;
            EXPECT_EQ(shifted[offset - 1], 0xEE) << m.name;
            EXPECT_EQ(shifted[offset + VDP_PICTURE_BYTES], 0xEE) << m.name;
        }
    }
}

} // namespace
