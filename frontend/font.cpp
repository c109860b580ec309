// The built-in font and the drawing of a line of text.
#include "frontend/font.h"
#include "frontend/image.h"

#include <cstdlib>
#include <cstring>

Font* font_list = nullptr;
Font* font_primary = nullptr;
Font* font_secondary = nullptr;
Font* current_font = nullptr;

namespace {

// Blends one RGB565 field: d + ((s - d) x a >> 8), on the field's own bits.
inline unsigned blend_field(unsigned d, unsigned s, unsigned a, unsigned shift, unsigned mask) {
    int df = int((d >> shift) & mask), sf = int((s >> shift) & mask);
    return unsigned(df + (((sf - df) * int(a)) >> 8)) & mask;
}

inline uint16_t blend(uint16_t d, uint16_t s, uint8_t a) {
    if (a == 0xFF) return s;
    return uint16_t((blend_field(d, s, a, 11, 0x1F) << 11) | (blend_field(d, s, a, 5, 0x3F) << 5) |
                    blend_field(d, s, a, 0, 0x1F));
}

// The index within its cell of the rightmost inked column (from glyph_width - 1 down to 1),
// plus 3; 10 when the glyph has no ink there.
unsigned proportional_advance(const Font* font, const Image* img, unsigned cx, unsigned cy) {
    for (int col = font->glyph_width - 1; col >= 1; --col) {
        if (cx + unsigned(col) >= img->width) continue;
        for (unsigned row = 0; row < font->cell_h && cy + row < img->height; ++row)
            if (img->pixels[size_t(cy + row) * img->width + cx + unsigned(col)] != IMAGE_TRANSPARENT)
                return unsigned(col) + 3;
    }
    return 10;
}

} // namespace

Font* load_builtin_font() {
    Font* font = static_cast<Font*>(std::calloc(1, sizeof(Font)));
    if (!font) return nullptr;
    font->next = font_list;
    font_list = font;
    if (!load_image("fullfont.pcx", BUILTIN_FONT_PCX, LOAD_FROM_MEMORY | LOAD_AS_PCX, BUILTIN_FONT_PCX_BYTES)) {
        font_list = font->next;
        std::free(font);
        return nullptr;
    }
    std::strcpy(font->font_name, "smallfull");
    font->image = current_image();
    font->cell_x0 = 0;
    font->cell_y0 = 0;
    font->cell_w = 9;
    font->cell_h = 9;
    font->glyph_width = 6;
    font->line_height = 9;
    std::memcpy(font->charset, FONT_CHARSET, sizeof FONT_CHARSET);
    font->proportional = 0;
    font->wrap_cells = 0xFF;
    return font;
}

void draw_text(Surface* s, const Font* font, uint16_t x, uint16_t y, const char* text, uint8_t max_chars) {
    if (!font || !text || !text[0] || !font->image || font->glyph_width == 0) return;
    const Image* img = font->image;
    size_t length = std::strlen(text);
    size_t n = max_chars ? max_chars : length;
    if (n > length) n = length;
    const unsigned gw = font->glyph_width, lh = font->line_height;
    // Whole glyphs only; a start at or past the right edge leaves no room at all.
    if (x >= s->width) n = 0;
    else if (x + n * gw > s->width) n = (s->width - x) / gw;
    if (unsigned(y) + lh > s->height || n == 0) return;

    const unsigned cols = gw < img->width ? gw : img->width;
    const unsigned rows = lh < img->height ? lh : img->height;
    unsigned pen = x;
    for (size_t i = 0; i < n; ++i) {
        char ch = text[i];
        const char* found = ch == ' ' ? nullptr : std::strchr(font->charset, ch);
        if (!found) {
            pen += (2 * gw) / 3;
            continue;
        }
        unsigned g = unsigned(found - font->charset);
        unsigned cx, cy;
        if (font->wrap_cells == 0xFF) {
            unsigned offset = font->cell_w * g + font->cell_x0;
            cx = offset % img->width;
            cy = (offset / img->width) * font->cell_h + font->cell_y0;
        } else {
            cx = font->cell_x0 + font->cell_w * g;
            cy = font->cell_y0;
        }
        for (unsigned row = 0; row < rows && cy + row < img->height; ++row) {
            uint16_t* dst = s->pixels + size_t(y + row) * s->pitch;
            size_t src_at = size_t(cy + row) * img->width + cx;
            for (unsigned col = 0; col < cols && cx + col < img->width && pen + col < s->width; ++col) {
                uint16_t v = img->pixels[src_at + col];
                if (img->alpha) {
                    dst[pen + col] = blend(dst[pen + col], v, img->alpha[src_at + col]);
                } else if (v != IMAGE_TRANSPARENT) {
                    dst[pen + col] = v == IMAGE_SHADOW ? IMAGE_SHADOW_COLOUR : v;
                }
            }
        }
        pen += font->proportional ? proportional_advance(font, img, cx, cy) : gw;
    }
}
