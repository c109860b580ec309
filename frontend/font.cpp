// The built-in font and text drawing: glyphs copied from their cells with the colour keys, or
// blended through the picture's alpha map.
#include "frontend/font.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "frontend/image.h"

Font* font_primary = nullptr;
Font* font_secondary = nullptr;
Font* current_font = nullptr;
Font* font_list = nullptr;

Font* load_builtin_font() {
    Font* font = static_cast<Font*>(std::calloc(1, sizeof(Font)));
    if (!font) return nullptr;
    font->next = font_list;
    font_list = font;
    if (!load_image("fullfont.pcx", BUILTIN_FONT_PCX, IMAGE_IN_MEMORY | IMAGE_AS_PCX,
                    BUILTIN_FONT_PCX_BYTES)) {
        font_list = font->next;
        std::free(font);
        return nullptr;
    }
    std::strcpy(font->font_name, "smallfull");
    font->image = current_image();
    font->cell_x0 = 0;
    font->cell_y0 = 0;
    font->cell_w = BUILTIN_FONT_CELL;
    font->cell_h = BUILTIN_FONT_CELL;
    font->glyph_width = BUILTIN_FONT_GLYPH_WIDTH;
    font->line_height = BUILTIN_FONT_LINE_HEIGHT;
    std::memcpy(font->charset, BUILTIN_FONT_CHARSET, sizeof BUILTIN_FONT_CHARSET);
    font->proportional = 0;
    font->wrap_cells = 0xFF;
    return font;
}

namespace {

// Where cell g lies in the picture.
void cell_origin(const Font* font, unsigned g, unsigned* cx, unsigned* cy) {
    unsigned along = unsigned(font->cell_w) * g + font->cell_x0;
    if (font->wrap_cells == 0xFF) {
        *cx = along % font->image->width;
        *cy = (along / font->image->width) * font->cell_h + font->cell_y0;
    } else {
        *cx = along;
        *cy = font->cell_y0;
    }
}

inline uint16_t blend(uint16_t d, uint16_t s, uint8_t a) {
    if (a == 0xFF) return s;
    // Per field: d + ((s - d) * a >> 8); the shift of a negative product rounds down, which keeps
    // the result between d and s.
    int r = int(d >> 11) + ((int(s >> 11) - int(d >> 11)) * a >> 8);
    int g = int((d >> 5) & 0x3F) + ((int((s >> 5) & 0x3F) - int((d >> 5) & 0x3F)) * a >> 8);
    int b = int(d & 0x1F) + ((int(s & 0x1F) - int(d & 0x1F)) * a >> 8);
    return uint16_t((r << 11) | (g << 5) | b);
}

inline void keyed_pixel(uint16_t* d, uint16_t s) {
    if (s == IMAGE_TRANSPARENT) return;
    *d = s == IMAGE_SHADOW ? IMAGE_SHADOW_COLOUR : s;
}

// One glyph row with the colour keys, unrolled by four.
void keyed_row(uint16_t* d, const uint16_t* s, unsigned n) {
    unsigned i = 0;
    for (; i + 4 <= n; i += 4) {
        keyed_pixel(d + i, s[i]);
        keyed_pixel(d + i + 1, s[i + 1]);
        keyed_pixel(d + i + 2, s[i + 2]);
        keyed_pixel(d + i + 3, s[i + 3]);
    }
    for (; i < n; ++i) keyed_pixel(d + i, s[i]);
}

void blended_row(uint16_t* d, const uint16_t* s, const uint8_t* a, unsigned n) {
    unsigned i = 0;
    for (; i + 4 <= n; i += 4) {
        d[i] = blend(d[i], s[i], a[i]);
        d[i + 1] = blend(d[i + 1], s[i + 1], a[i + 1]);
        d[i + 2] = blend(d[i + 2], s[i + 2], a[i + 2]);
        d[i + 3] = blend(d[i + 3], s[i + 3], a[i + 3]);
    }
    for (; i < n; ++i) d[i] = blend(d[i], s[i], a[i]);
}

// The advance of a proportional glyph: its rightmost inked column (looked for from the last
// glyph column down to column 1) plus 3, or 10 for a glyph without ink there.
unsigned inked_advance(const Font* font, unsigned cx, unsigned cy) {
    const Image* im = font->image;
    for (unsigned col = font->glyph_width; col-- > 1;) {
        if (cx + col >= im->width) continue;
        for (unsigned row = 0; row < font->cell_h && cy + row < im->height; ++row)
            if (im->pixels[size_t(cy + row) * im->width + cx + col] != IMAGE_TRANSPARENT) return col + 3;
    }
    return 10;
}

} // namespace

void draw_text(Surface* s, const Font* font, uint16_t x, uint16_t y, const char* text, uint8_t max_chars) {
    if (!font || !text || !font->image || !font->image->pixels || font->glyph_width == 0) return;
    const Image* im = font->image;
    size_t length = std::strlen(text);
    size_t n = max_chars ? max_chars : length;
    if (n > length) n = length;
    // Whole glyphs only: the text is cut where the next glyph would cross the right edge. A pen
    // start at or beyond the edge leaves no room at all.
    if (x + n * font->glyph_width > s->width) n = x < s->width ? (s->width - x) / font->glyph_width : 0;
    if (unsigned(y) + font->line_height > s->height || n == 0) return;
    unsigned columns = font->glyph_width < im->width ? font->glyph_width : im->width;
    unsigned rows = font->line_height < im->height ? font->line_height : im->height;
    const char* charset_end = font->charset + std::strlen(font->charset);
    unsigned pen = x;
    for (size_t i = 0; i < n; ++i) {
        char ch = text[i];
        const char* at = ch == ' ' ? charset_end : std::find(font->charset, charset_end, ch);
        if (at == charset_end) {
            pen += 2u * font->glyph_width / 3;
            continue;
        }
        unsigned cx, cy;
        cell_origin(font, unsigned(at - font->charset), &cx, &cy);
        // The cell may lie partly outside the picture, and a proportional advance may carry the
        // pen past the edge: copy only what both the picture and the surface hold.
        unsigned w = columns, h = rows;
        if (cx >= im->width || cy >= im->height || pen >= s->width)
            w = 0;
        else {
            if (cx + w > im->width) w = im->width - cx;
            if (cy + h > im->height) h = im->height - cy;
            if (pen + w > s->width) w = s->width - pen;
        }
        for (unsigned row = 0; w && row < h; ++row) {
            size_t from = size_t(cy + row) * im->width + cx;
            uint16_t* d = s->pixels + size_t(y + row) * s->pitch + pen;
            if (im->alpha)
                blended_row(d, im->pixels + from, im->alpha + from, w);
            else
                keyed_row(d, im->pixels + from, w);
        }
        pen += font->proportional == 0xFF ? inked_advance(font, cx, cy) : font->glyph_width;
    }
}
