#include "tools/font_pcx.h"
#include "frontend/font.h"
#include "tools/font_glyphs.h"

#include <cstring>

namespace {

constexpr int SIDE = 144;
constexpr int CELL = 9;
enum : uint8_t { BACKGROUND = 0, INK = 1, SHADOW = 2 };

const GlyphArt* find_glyph(char ch) {
    for (const GlyphArt& g : FONT_GLYPHS)
        if (g.ch == ch) return &g;
    return nullptr;
}

void draw_glyph(std::vector<uint8_t>& picture, int x0, int y0, const GlyphArt& g) {
    auto inked = [&](int x, int y) { return x >= 0 && y >= 0 && x < 5 && y < 8 && g.rows[y][x] == '#'; };
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x) {
            uint8_t v = inked(x, y) ? INK : inked(x - 1, y - 1) ? SHADOW : BACKGROUND;
            picture[size_t(y0 + y) * SIDE + size_t(x0 + x)] = v;
        }
}

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v & 0xFF);
    out[at + 1] = uint8_t(v >> 8);
}

} // namespace

std::vector<uint8_t> build_font_pcx() {
    std::vector<uint8_t> picture(size_t(SIDE) * SIDE, BACKGROUND);
    const size_t cells = std::strlen(FONT_CHARSET);
    for (size_t g = 0; g < cells; ++g) {
        const GlyphArt* art = find_glyph(FONT_CHARSET[g]);
        if (!art) continue;  // the spaces
        int offset = int(g) * CELL;
        draw_glyph(picture, offset % SIDE, (offset / SIDE) * CELL, *art);
    }

    std::vector<uint8_t> out(128, 0);
    out[0] = 0x0A;  // manufacturer
    out[1] = 5;     // version: a 256-colour palette follows the pixels
    out[2] = 1;     // run-length encoded
    out[3] = 8;     // bits per pixel
    put16(out, 8, SIDE - 1);
    put16(out, 10, SIDE - 1);
    put16(out, 12, 72);
    put16(out, 14, 72);
    out[65] = 1;  // one plane
    put16(out, 66, SIDE);
    put16(out, 68, 1);  // colour palette
    for (int y = 0; y < SIDE; ++y) {
        const uint8_t* row = &picture[size_t(y) * SIDE];
        for (int x = 0; x < SIDE;) {
            int run = 1;
            while (x + run < SIDE && run < 63 && row[x + run] == row[x]) ++run;
            if (run > 1 || (row[x] & 0xC0) == 0xC0) out.push_back(uint8_t(0xC0 | run));
            out.push_back(row[x]);
            x += run;
        }
    }
    out.push_back(0x0C);
    const uint8_t palette[3][3] = {{123, 123, 123}, {0xFF, 0xFF, 0xFF}, {0xDE, 0x6F, 0xDE}};
    for (int i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c) out.push_back(i < 3 ? palette[i][c] : 0);
    return out;
}
