// The four background line renderers. Each writes one whole row of the picture, borders
// included, from the tables as they are at that moment. Pixels are decided per tile: a pattern
// byte selects, through a table of byte masks, which of eight bytes take the foreground colour
// and which the background, and the eight bytes are stored at once.
#include "video/vdp.h"

#include <array>
#include <cstring>

namespace {

// Pattern byte -> eight bytes, 0xFF where the pattern bit is set (bit 7 first).
constexpr std::array<std::array<uint8_t, 8>, 256> build_pixel_masks() {
    std::array<std::array<uint8_t, 8>, 256> t{};
    for (int p = 0; p < 256; ++p)
        for (int i = 0; i < 8; ++i) t[p][i] = (p & (0x80 >> i)) ? 0xFF : 0x00;
    return t;
}
constexpr auto pixel_masks = build_pixel_masks();

constexpr uint64_t REPEAT_BYTE = 0x0101010101010101ull;

inline uint8_t vram_at(uint32_t address) { return vdp.vram[address & VDP_ADDRESS_MASK]; }

// Stores eight pixels: fg where pattern p has a set bit, bg elsewhere. The colours are repeated
// into every byte, so the result does not depend on the host's byte order.
inline void put_tile(uint8_t* dst, uint8_t p, uint8_t fg, uint8_t bg) {
    uint64_t mask;
    std::memcpy(&mask, pixel_masks[p].data(), 8);
    uint64_t pixels = ((fg * REPEAT_BYTE) & mask) | ((bg * REPEAT_BYTE) & ~mask);
    std::memcpy(dst, &pixels, 8);
}

inline uint8_t* picture_row(uint8_t line) { return vdp_picture + (line + VDP_BORDER) * VDP_PICTURE_WIDTH; }

// The part every renderer shares: colour 0 follows the backdrop, a blanked display shows only
// the backdrop, and the top and bottom borders are refreshed with lines 0 and 191. Returns the
// backdrop colour, or -1 when the display is blank and the row is already done.
inline int begin_line(uint8_t line) {
    colour_map[0] = vdp.backdrop_colour;
    uint8_t backdrop = colour_map[vdp.backdrop_colour];
    if (line == 0) std::memset(vdp_picture, backdrop, VDP_BORDER * VDP_PICTURE_WIDTH);
    if (line == VDP_VISIBLE_LINES - 1)
        std::memset(vdp_picture + (VDP_BORDER + VDP_VISIBLE_LINES) * VDP_PICTURE_WIDTH, backdrop,
                    VDP_BORDER * VDP_PICTURE_WIDTH);
    if (!(vdp.regs[1] & R1_DISPLAY_ENABLE)) {
        std::memset(picture_row(line), backdrop, VDP_PICTURE_WIDTH);
        return -1;
    }
    return backdrop;
}

inline void side_borders(uint8_t* row, uint8_t backdrop) {
    std::memset(row, backdrop, VDP_BORDER);
    std::memset(row + VDP_BORDER + 256, backdrop, VDP_BORDER);
}

// Graphics I and II differ only in where a tile's pattern and colour bytes are.
template <bool graphics2> inline void render_graphics_line(uint8_t line) {
    int backdrop = begin_line(line);
    if (backdrop < 0) return;
    uint8_t* row = picture_row(line);
    side_borders(row, uint8_t(backdrop));
    uint32_t names = vdp.name_base + (line >> 3) * 32u;
    uint32_t third = graphics2 ? uint32_t(line & 0xC0) << 5 : 0;
    uint32_t patterns = vdp.pattern_base + third + (line & 7u);
    uint32_t colours = graphics2 ? vdp.colour_base + third + (line & 7u) : vdp.colour_base;
    uint8_t* dst = row + VDP_BORDER;
    for (uint32_t k = 0; k < 32; ++k, dst += 8) {
        uint32_t n = vram_at(names + k);
        uint8_t colour = graphics2 ? vram_at(colours + n * 8) : vram_at(colours + (n >> 3));
        put_tile(dst, vram_at(patterns + n * 8), colour_map[colour >> 4], colour_map[colour & 0x0F]);
    }
    render_sprites_line(line);
}

} // namespace

void render_text_line(uint8_t line) {
    int backdrop = begin_line(line);
    if (backdrop < 0) return;
    uint8_t bg = uint8_t(backdrop);
    uint8_t fg = colour_map[vdp.text_colour];
    uint8_t* row = picture_row(line);
    uint32_t names = vdp.name_base + (line >> 3) * 40u;
    uint32_t patterns = vdp.pattern_base + (line & 7u);
    // Each character is stored as eight pixels of which the next one overwrites the last two;
    // the last character's spill lands in the right border, filled afterwards.
    uint8_t* dst = row + 16;
    for (uint32_t k = 0; k < 40; ++k, dst += 6)
        put_tile(dst, vram_at(patterns + vram_at(names + k) * 8u), fg, bg);
    std::memset(row, bg, 16);
    std::memset(row + 256, bg, 16);
}

void render_graphics1_line(uint8_t line) { render_graphics_line<false>(line); }
void render_graphics2_line(uint8_t line) { render_graphics_line<true>(line); }

void render_multicolour_line(uint8_t line) {
    int backdrop = begin_line(line);
    if (backdrop < 0) return;
    uint8_t* row = picture_row(line);
    side_borders(row, uint8_t(backdrop));
    uint32_t names = vdp.name_base + (line >> 3) * 32u;
    uint32_t patterns = vdp.pattern_base + ((line >> 2) & 7u);
    uint8_t* dst = row + VDP_BORDER;
    for (uint32_t k = 0; k < 32; ++k, dst += 8) {
        uint8_t b = vram_at(patterns + vram_at(names + k) * 8u);
        put_tile(dst, 0xF0, colour_map[b >> 4], colour_map[b & 0x0F]);
    }
    render_sprites_line(line);
}
