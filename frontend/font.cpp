// Temporary fonts: no font picture yet, so the program runs without visible text.
#include "frontend/font.h"

Font* font_primary = nullptr;
Font* font_secondary = nullptr;
Font* current_font = nullptr;

Font* load_builtin_font() { return nullptr; }

void draw_text(Surface*, const Font*, uint16_t, uint16_t, const char*, uint8_t) {}
