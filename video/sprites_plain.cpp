// Sprite selection on hosts without a vector path (the handheld among them).
#include "video/sprite_select.h"

SpriteLineBits sprite_line_bits(const uint8_t* attributes, uint8_t above, unsigned rows) {
    uint32_t shown = 0, ends = 0;
#pragma GCC unroll 32
    for (int i = 0; i < 32; ++i) {
        uint8_t y = attributes[4 * i];
        // Written as conditions so that the handheld's compiler makes each a conditional OR.
        if (uint8_t(above - y) < rows) shown |= 1u << i;
        if (y == SPRITE_END) ends |= 1u << i;
    }
    return {shown, ends};
}
