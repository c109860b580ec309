// The first step of drawing a line's sprites: which attribute table entries have a row on the
// line, and which end the list, all 32 at once. render_sprites_line calls it for every line.
// Which file provides it is chosen by the build: on x86 the 32 Y bytes are compared in two
// vector registers; elsewhere each entry takes a conditional OR.
#pragma once
#include <cstdint>

struct SpriteLineBits {
    uint32_t shown; // bit i: entry i's Y byte puts one of its `rows` screen rows on the line
    uint32_t ends;  // bit i: entry i's Y byte is the end of the list
};

// `attributes` is the 128-byte attribute table, `above` the line number minus one, `rows` the
// number of screen rows a sprite may show (1..32): entry i is shown when (above - Y) modulo 256
// is below `rows`.
SpriteLineBits sprite_line_bits(const uint8_t* attributes, uint8_t above, unsigned rows);

// A Y byte of this value ends the attribute list.
constexpr uint8_t SPRITE_END = 0xD0;
