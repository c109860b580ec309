// Bitmap fonts cut from an Image and the drawing of one line of text. The program entry loads
// the built-in font twice (font_primary, which is current_font, and font_secondary, the panels'
// title font); the status line and the front-end panels draw with them.
#pragma once
#include <cstdint>

#include "frontend/surface.h"

struct Font {
    char font_name[32];
    Image* image;
    uint8_t cell_x0, cell_y0;
    uint8_t cell_w, cell_h;
    uint8_t glyph_width;
    uint8_t line_height;
    char charset[129];
    uint8_t proportional;  // 0xFF: advance by the glyph's inked width
    uint8_t wrap_cells;    // 0xFF: cells run on across image rows
    Font* next;            // the font loaded before this one
};

extern Font* font_primary;
extern Font* font_secondary;
extern Font* current_font;

// A new Font over the built-in font picture, or nullptr when the picture cannot be decoded.
Font* load_builtin_font();

// Draws one line of text with its top-left corner at (x, y); max_chars 0 = no limit.
void draw_text(Surface* s, const Font* font, uint16_t x, uint16_t y, const char* text, uint8_t max_chars);
