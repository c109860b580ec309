// Sprites of the three graphics modes: drawn line by line over the background, at most four per
// line, and checked for collisions once per frame over the whole attribute table. Every table
// read wraps within video memory.
#include "video/vdp.h"

#include <bit>

namespace {

constexpr uint8_t SPRITE_END = 0xD0; // a Y byte of this value ends the attribute list
constexpr int MAX_SPRITES = 32;
constexpr int SPRITES_PER_LINE = 4;

inline uint8_t vram_at(uint32_t address) { return vdp.vram[address & VDP_ADDRESS_MASK]; }
inline uint8_t attribute(int i, int byte) {
    return vram_at(vdp.sprite_attr_base + uint32_t(i) * 4 + uint32_t(byte));
}
inline int sprite_size() { return (vdp.regs[1] & R1_SPRITE_16) ? 16 : 8; }

// Row r of sprite `name` as 16 bits, leftmost pixel in bit 15 (the low byte is 0 for 8 x 8).
inline uint32_t pattern_row(uint8_t name, int r, int size) {
    if (size == 16) {
        uint32_t base = vdp.sprite_pattern_base + uint32_t(name & 0xFC) * 8 + uint32_t(r);
        return uint32_t(vram_at(base)) << 8 | vram_at(base + 16);
    }
    return uint32_t(vram_at(vdp.sprite_pattern_base + uint32_t(name) * 8 + uint32_t(r))) << 8;
}

// Y as a screen position: a sprite near the bottom of the Y range hangs over the top edge.
inline int sprite_top(uint8_t y, int size) { return y > 256 - size ? int(y) - 256 : int(y); }

// Draws one selected sprite's row onto picture row `row`.
void draw_sprite_row(uint8_t* row, int i, uint8_t line, int size) {
    uint8_t flags = attribute(i, 3);
    uint8_t colour = flags & 0x0F;
    if (colour == 0) return;
    int x = attribute(i, 1) - ((flags & 0x80) ? 32 : 0);
    if (x <= -size) return;
    uint32_t bits = pattern_row(attribute(i, 2), line - sprite_top(attribute(i, 0), size) - 1, size);
    if (x < 0) bits &= (0x10000u >> -x) - 1;
    if (x > 256 - size) bits &= ~((1u << (16 - (256 - x))) - 1); // columns 256 and beyond
    uint8_t pixel = colour_map[colour];
    uint8_t* at = row + VDP_BORDER + x;
    while (bits) {
        int b = 31 - std::countl_zero(bits);
        at[15 - b] = pixel;
        bits &= ~(1u << b);
    }
}

// Signed difference of two attribute bytes, taken modulo 256.
inline int byte_difference(uint8_t a, uint8_t b) { return int8_t(uint8_t(a - b)); }

bool sprites_collide(int a, int b, int size) {
    int dy = byte_difference(attribute(a, 0), attribute(b, 0));
    int dx = byte_difference(attribute(a, 1), attribute(b, 1));
    if (dy < -(size - 1) || dy > size - 1 || dx < -(size - 1) || dx > size - 1) return false;
    uint8_t name_a = attribute(a, 2), name_b = attribute(b, 2);
    int ra = dy >= 0 ? 0 : -dy;
    int rb = dy >= 0 ? dy : 0;
    int rows = size - (dy >= 0 ? dy : -dy);
    int shift = dx >= 0 ? dx : -dx;
    for (int j = 0; j < rows; ++j) {
        uint32_t row_a = pattern_row(name_a, ra + j, size);
        uint32_t row_b = pattern_row(name_b, rb + j, size);
        // The sprite further right is moved onto the other's pixel grid.
        if (dx >= 0 ? ((row_a >> shift) & row_b) : (row_a & (row_b >> shift))) return true;
    }
    return false;
}

} // namespace

void render_sprites_line(uint8_t line) {
    int size = sprite_size();
    // Selection reads only the Y bytes; drawing then goes back over the chosen entries.
    uint32_t selected = 0;
    int count = 0;
    for (int i = 0; i < MAX_SPRITES && count < SPRITES_PER_LINE; ++i) {
        uint8_t y = attribute(i, 0);
        if (y == SPRITE_END) break;
        int top = sprite_top(y, size);
        if (top < line && line <= top + size) {
            selected |= 1u << i;
            ++count;
        }
    }
    uint8_t* row = vdp_picture + (line + VDP_BORDER) * VDP_PICTURE_WIDTH;
    // Highest entry first, so the lowest-numbered sprite ends on top.
    while (selected) {
        int i = 31 - std::countl_zero(selected);
        draw_sprite_row(row, i, line, size);
        selected &= ~(1u << i);
    }
}

void vdp_check_collisions() {
    int size = sprite_size();
    int n = 0;
    while (n < MAX_SPRITES && attribute(n, 0) != SPRITE_END) ++n;
    for (int a = 0; a < n; ++a) {
        if ((attribute(a, 3) & 0x0F) == 0) continue;
        for (int b = a + 1; b < n; ++b) {
            if ((attribute(b, 3) & 0x0F) == 0) continue;
            if (sprites_collide(a, b, size)) {
                vdp.status |= STATUS_COLLISION;
                return;
            }
        }
    }
}
