// Builds the bytes of the built-in font picture from the glyph art: a 144 x 144 8-bit PCX
// (version 5, run-length encoded, 256-colour palette after a 0x0C marker). Used by the font
// generator, which writes them into frontend/font_data.cpp, and by the test that checks the
// embedded copy.
#pragma once
#include <cstdint>
#include <vector>

std::vector<uint8_t> build_font_pcx();
