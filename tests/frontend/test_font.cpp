// The built-in font and text drawing: the picture the generator makes, the metrics and advances,
// the colour keys, alpha blending, the whole-glyph and line clipping, and a golden picture of
// every character.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/font.h"
#include "frontend/image.h"
#include "tests/support/test_support.h"

namespace {

Font* builtin() {
    static Font* font = load_builtin_font();
    return font;
}

struct Canvas {
    std::vector<uint16_t> pixels;
    Surface s;
    Canvas(uint16_t w, uint16_t h, uint16_t fill = 0x0000) : pixels(size_t(w) * h, fill) {
        s = Surface{pixels.data(), 0, 16, w, w, h};
    }
    uint16_t at(int x, int y) const { return pixels[size_t(y) * s.pitch + size_t(x)]; }
    // Whether column x holds anything but the fill.
    bool column_drawn(int x, uint16_t fill = 0) const {
        for (int y = 0; y < s.height; ++y)
            if (at(x, y) != fill) return true;
        return false;
    }
    size_t changed(uint16_t fill = 0) const {
        size_t n = 0;
        for (uint16_t p : pixels) n += p != fill;
        return n;
    }
};

// The glyph of cell g as drawn: its 6 x 9 pixels with the keys applied over a black ground.
std::vector<uint16_t> glyph(const Font* f, int g) {
    std::vector<uint16_t> v;
    int x0 = (9 * g) % 144, y0 = (9 * g) / 144 * 9;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x) {
            uint16_t p = f->image->pixels[size_t(y0 + y) * 144 + size_t(x0 + x)];
            v.push_back(p == IMAGE_TRANSPARENT ? 0 : p == IMAGE_SHADOW ? IMAGE_SHADOW_COLOUR : p);
        }
    return v;
}

std::vector<uint16_t> drawn(const Canvas& c, int x0, int y0) {
    std::vector<uint16_t> v;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x) v.push_back(c.at(x0 + x, y0 + y));
    return v;
}

TEST(Font, EmbeddedPictureIsWhatTheGeneratorMakes) {
    std::string out = std::string(VELKORO_BUILD_DIR) + "/fontgen-check.pcx";
    std::string command = std::string(VELKORO_FONTGEN) + " pcx " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<uint8_t> made = read_file(out);
    std::remove(out.c_str());
    ASSERT_EQ(made.size(), BUILTIN_FONT_PCX_BYTES);
    EXPECT_EQ(std::memcmp(made.data(), BUILTIN_FONT_PCX, made.size()), 0)
        << "frontend/font_data.cpp is stale: run ninja velkoro-font-data";
}

TEST(Font, BuiltinFontLoadsWithItsMetrics) {
    const Font* f = builtin();
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->font_name, "smallfull");
    EXPECT_STREQ(f->charset, BUILTIN_FONT_CHARSET);
    EXPECT_EQ(std::strlen(f->charset), 128u);
    EXPECT_EQ(f->charset[34], ' ');
    EXPECT_EQ(f->charset[95], ' ');
    EXPECT_EQ(f->charset[127], '|');
    EXPECT_EQ(f->cell_w, 9);
    EXPECT_EQ(f->cell_h, 9);
    EXPECT_EQ(f->glyph_width, 6);
    EXPECT_EQ(f->line_height, 9);
    EXPECT_EQ(f->proportional, 0);
    EXPECT_EQ(f->wrap_cells, 0xFF);
    ASSERT_NE(f->image, nullptr);
    EXPECT_STREQ(f->image->name, "fullfont.pcx");
    EXPECT_EQ(f->image->width, 144);
    EXPECT_EQ(f->image->height, 144);
    EXPECT_EQ(f->image->alpha, nullptr);
    // Only the three colours of the picture: transparent ground, white ink, shadow.
    size_t ink = 0;
    for (size_t i = 0; i < 144u * 144u; ++i) {
        uint16_t p = f->image->pixels[i];
        ASSERT_TRUE(p == IMAGE_TRANSPARENT || p == IMAGE_SHADOW || p == 0xFFFF) << i;
        ink += p == 0xFFFF;
    }
    EXPECT_GT(ink, 1000u);
    // The space cells and the unused lower half of the picture are empty.
    for (int g : {32, 34, 95})
        for (uint16_t p : glyph(f, g)) EXPECT_EQ(p, 0);
    EXPECT_EQ(f->image->pixels[size_t(100) * 144 + 70], IMAGE_TRANSPARENT);
}

TEST(Font, AdvancesAndCellLookup) {
    const Font* f = builtin();
    ASSERT_NE(f, nullptr);
    Canvas c(120, 40);
    draw_text(&c.s, f, 10, 20, "AB", 0);
    EXPECT_EQ(drawn(c, 10, 20), glyph(f, 10));
    EXPECT_EQ(drawn(c, 16, 20), glyph(f, 11));

    Canvas spaced(120, 40);
    draw_text(&spaced.s, f, 10, 20, "A B", 0);
    EXPECT_EQ(drawn(spaced, 10, 20), glyph(f, 10));
    EXPECT_EQ(drawn(spaced, 20, 20), glyph(f, 11));

    // The double quote and the underscore have no glyph: they advance like a space.
    for (const char* text : {"A\"B", "A_B"}) {
        Canvas q(120, 40);
        draw_text(&q.s, f, 10, 20, text, 0);
        EXPECT_EQ(drawn(q, 20, 20), glyph(f, 11)) << text;
        EXPECT_EQ(q.changed(), c.changed()) << text;
    }
    // Digits and A..F come from the first cells; "|" from cell 124.
    Canvas d(120, 40);
    draw_text(&d.s, f, 0, 0, "7F|", 0);
    EXPECT_EQ(drawn(d, 0, 0), glyph(f, 7));
    EXPECT_EQ(drawn(d, 6, 0), glyph(f, 15));
    EXPECT_EQ(drawn(d, 12, 0), glyph(f, 124));
    // A glyph starts at the pen exactly: the shadow lies inside its 6 columns.
    EXPECT_FALSE(d.column_drawn(18));
}

TEST(Font, ClippingAndLimits) {
    const Font* f = builtin();
    ASSERT_NE(f, nullptr);
    const char* forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    Canvas limited(320, 20);
    draw_text(&limited.s, f, 0, 0, forty, 15);
    EXPECT_TRUE(limited.column_drawn(14 * 6));
    for (int x = 15 * 6; x < 320; ++x) ASSERT_FALSE(limited.column_drawn(x)) << x;

    // A text crossing the right edge is cut to whole glyphs: 5 of them in 33 columns.
    Canvas edge(33, 12);
    draw_text(&edge.s, f, 2, 0, "MMMMMMMM", 0);
    EXPECT_EQ(drawn(edge, 26, 0), glyph(f, int(std::strchr(f->charset, 'M') - f->charset)));
    EXPECT_TRUE(edge.column_drawn(26));
    EXPECT_FALSE(edge.column_drawn(32));

    // A pen start at or beyond the right edge, or a line crossing the bottom, draws nothing.
    Canvas none(40, 20, 0x1234);
    draw_text(&none.s, f, 40, 0, "A", 0);
    draw_text(&none.s, f, 41, 0, "AB", 0);
    draw_text(&none.s, f, 0xFFFF, 0, "ABC", 0);
    draw_text(&none.s, f, 0, 12, "A", 0);
    draw_text(&none.s, f, 0, 11, "", 0);
    draw_text(&none.s, nullptr, 0, 0, "A", 0);
    draw_text(&none.s, f, 0, 0, nullptr, 0);
    EXPECT_EQ(none.changed(0x1234), 0u);
    draw_text(&none.s, f, 0, 11, "A", 0); // exactly fits
    EXPECT_GT(none.changed(0x1234), 0u);
}

// A tiny hand-made font over an image with an alpha map: one cell of 2 x 1 pixels.
TEST(Font, AlphaBlendingAndProportionalAdvance) {
    uint16_t pixels[4 * 2] = {0xFFFF,
                              0xF800,
                              IMAGE_TRANSPARENT,
                              IMAGE_TRANSPARENT,
                              0x001F,
                              IMAGE_TRANSPARENT,
                              IMAGE_TRANSPARENT,
                              IMAGE_TRANSPARENT};
    uint8_t alpha[4 * 2] = {0xFF, 0x80, 0, 0, 0x40, 0, 0, 0};
    Image im{};
    im.width = 4;
    im.height = 2;
    im.pixels = pixels;
    im.alpha = alpha;
    Font f{};
    f.image = &im;
    f.cell_w = 2;
    f.cell_h = 2;
    f.glyph_width = 4;
    f.line_height = 2;
    f.wrap_cells = 0xFF;
    std::strcpy(f.charset, "ab");
    Canvas c(16, 4, 0x07E0); // green ground
    draw_text(&c.s, &f, 0, 0, "a", 0);
    EXPECT_EQ(c.at(0, 0), 0xFFFF); // alpha 0xFF copies
    // Red over green at 0x80: red 0 + (31 * 128 >> 8) = 15, green 63 + (-63 * 128 >> 8) = 31.
    EXPECT_EQ(c.at(1, 0), uint16_t((15 << 11) | (31 << 5)));
    EXPECT_EQ(c.at(2, 0), 0x07E0); // alpha 0 leaves the ground
    // Blue over green at 0x40: green 63 + (-63 * 64 >> 8) = 47, blue 31 * 64 >> 8 = 7.
    EXPECT_EQ(c.at(0, 1), uint16_t((47 << 5) | 7));

    // Proportional: glyph "a" (cells 0) has ink up to column 1 -> advance 4; glyph "b" (cell 1)
    // has no ink in columns 1..3 of its cell -> advance 10.
    im.alpha = nullptr;
    f.proportional = 0xFF;
    Canvas p(32, 4, 0);
    draw_text(&p.s, &f, 0, 0, "aa", 0);
    EXPECT_EQ(p.at(4, 0), 0xFFFF);
    Canvas q(32, 4, 0);
    draw_text(&q.s, &f, 0, 0, "ba", 0);
    EXPECT_EQ(q.at(10, 0), 0xFFFF);
}

TEST(Font, SampleTextGolden) {
    headless_reset(test_config(""));
    screen_surface = Surface{const_cast<uint16_t*>(headless_shown_buffer()), 0, 16, 320, 320, 240};
    fill_rect(&screen_surface, 0x0000, 0, 0, 320, 240);
    fill_rect(&screen_surface, 0x000D, 0, 120, 320, 120);
    const Font* f = builtin();
    ASSERT_NE(f, nullptr);
    const char* lines[] = {
        "0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ",        "abcdefghijklmnopqrstuvwxyz",
        "! # $ % & ' ( ) * + , - . / : ; < = > ? @",    "[ \\ ] ^ ` { | } ~",
        "The quick brown fox jumps over the lazy dog.", "Push B to select cart; Y to exit emu.",
    };
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 6; ++i)
            draw_text(&screen_surface, f, 4, uint16_t(8 + 120 * pass + 14 * i), lines[i], 0);
    EXPECT_EQ(compare_screen_with_golden("frontend/golden/font_sample.png"), "");
}

} // namespace
