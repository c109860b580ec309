// The built-in font: its embedded picture, the metrics of draw_text, clipping to whole glyphs,
// the colour keys, alpha blending and a golden picture of every character.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frontend/font.h"
#include "frontend/image.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tools/font_pcx.h"

namespace {

struct FontTest : ::testing::Test {
    Font* font = nullptr;
    std::vector<uint16_t> pixels = std::vector<uint16_t>(320 * 240, 0);
    Surface s{pixels.data(), 0, 16, 320, 320, 240};
    void SetUp() override {
        headless_reset(HeadlessConfig{});
        font = load_builtin_font();
        ASSERT_NE(font, nullptr);
    }
    // The glyph of cell g, as the font's image holds it, equals the surface at (x, y)?
    bool glyph_at(unsigned g, unsigned x, unsigned y) const {
        const Image* img = font->image;
        for (unsigned row = 0; row < 9; ++row)
            for (unsigned col = 0; col < 6; ++col) {
                unsigned cx = (9 * g) % 144 + col, cy = (9 * g / 144) * 9 + row;
                uint16_t v = img->pixels[cy * 144 + cx];
                uint16_t want = v == IMAGE_TRANSPARENT ? 0 : v == IMAGE_SHADOW ? IMAGE_SHADOW_COLOUR : v;
                if (pixels[(y + row) * 320 + x + col] != want) return false;
            }
        return true;
    }
    size_t inked() const {
        size_t n = 0;
        for (uint16_t p : pixels) n += p != 0;
        return n;
    }
};

TEST_F(FontTest, EmbeddedPictureIsWhatTheGeneratorMakes) {
    std::vector<uint8_t> generated = build_font_pcx();
    ASSERT_EQ(generated.size(), BUILTIN_FONT_PCX_BYTES) << "run tools/fontgen frontend/font_data.cpp";
    EXPECT_EQ(0, std::memcmp(generated.data(), BUILTIN_FONT_PCX, BUILTIN_FONT_PCX_BYTES));
    const Image* img = font->image;
    ASSERT_EQ(img->width, 144);
    ASSERT_EQ(img->height, 144);
    EXPECT_STREQ(img->name, "fullfont.pcx");
    EXPECT_STREQ(font->font_name, "smallfull");
    // Background, white ink and the shadow key, nothing else.
    size_t ink = 0, shadow = 0;
    for (size_t i = 0; i < 144u * 144u; ++i) {
        uint16_t v = img->pixels[i];
        ASSERT_TRUE(v == IMAGE_TRANSPARENT || v == 0xFFFF || v == IMAGE_SHADOW) << i;
        ink += v == 0xFFFF;
        shadow += v == IMAGE_SHADOW;
    }
    EXPECT_GT(ink, 500u);
    EXPECT_GT(shadow, 500u);
    EXPECT_EQ(std::strlen(font->charset), 128u);
}

TEST_F(FontTest, AdvancesAndCells) {
    draw_text(&s, font, 10, 20, "AB", 0);
    EXPECT_TRUE(glyph_at(10, 10, 20));
    EXPECT_TRUE(glyph_at(11, 16, 20));
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 10, 20, "A B", 0);
    EXPECT_TRUE(glyph_at(11, 20, 20));  // 6 for A, 4 for the space
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 10, 20, "\"_\xE9|", 0);  // not in the string: 4 each, nothing drawn
    EXPECT_TRUE(glyph_at(124, 22, 20));         // "|" from its first cell
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 0, 0, "0", 0);
    EXPECT_TRUE(glyph_at(0, 0, 0));
}

TEST_F(FontTest, ClippingToWholeGlyphs) {
    std::string forty(40, 'M');
    draw_text(&s, font, 0, 0, forty.c_str(), 15);
    size_t fifteen = inked();
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 0, 0, forty.c_str(), 1);
    EXPECT_EQ(fifteen, inked() * 15);
    // A text that would cross the right edge keeps only whole glyphs.
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 310, 0, "MMM", 0);
    EXPECT_TRUE(glyph_at(77, 310, 0));  // "M"
    EXPECT_EQ(inked(), fifteen / 15);
    // A start at or beyond the right edge, or a line crossing the bottom, draws nothing.
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, font, 320, 0, "M", 0);
    draw_text(&s, font, 0xFFFF, 0, "M", 0);
    draw_text(&s, font, 0, 232, "M", 0);
    draw_text(&s, nullptr, 0, 0, "M", 0);
    draw_text(&s, font, 0, 0, "", 0);
    EXPECT_EQ(inked(), 0u);
}

TEST_F(FontTest, ProportionalAdvanceAndAlpha) {
    Font narrow = *font;
    narrow.proportional = 0xFF;
    // "I" is inked up to column 3, its shadow to column 4: advance 4 + 3.
    draw_text(&s, &narrow, 0, 0, "II", 0);
    EXPECT_TRUE(glyph_at(73, 7, 0));  // "I"
    // With an alpha map the glyph blends into the surface instead of using the colour keys.
    Image img = *font->image;
    std::vector<uint8_t> alpha(144 * 144, 0x80);
    img.alpha = alpha.data();
    Font blended = *font;
    blended.image = &img;
    std::fill(pixels.begin(), pixels.end(), 0);
    draw_text(&s, &blended, 0, 0, "0", 0);
    unsigned cx = 0;
    uint16_t src = img.pixels[cx];  // the background key 0xFEDC blended half-way over black
    uint16_t want = uint16_t((((src >> 11) * 0x80 >> 8) << 11) | ((((src >> 5) & 0x3F) * 0x80 >> 8) << 5) |
                             ((src & 0x1F) * 0x80 >> 8));
    EXPECT_EQ(pixels[0], want);
}

TEST_F(FontTest, EveryCharacterIsReadable) {
    headless_reset(HeadlessConfig{});
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    Surface screen{display_drawing_pointer(), 0, 16, 320, 320, 240};
    display_flip(0);
    fill_rect(&screen, 0x0008, 0, 0, 320, 240);
    const char* lines[] = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", "0123456789",
                           "! #$%&'()*+,-./:;<=>?@[\\]^`{|}~",  "The quick brown fox jumps over the lazy dog.",
                           "Push B to select cart; Y to exit emu."};
    uint16_t y = 10;
    for (const char* line : lines) {
        draw_text(&screen, font, 10, y, line, 0);
        y += 14;
    }
    EXPECT_EQ(compare_screen_with_golden("frontend/golden/font_sample.png"), "");
}

} // namespace
