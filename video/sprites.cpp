// Sprites of the three graphics modes: drawn line by line over the background, at most four per
// line, and checked once per frame over the attribute table for collisions and for a fifth
// sprite on a line (on drawn and skipped frames alike). Magnified sprites show every pattern
// pixel as 2 x 2 screen pixels, in drawing, selection and collisions alike. Every table read
// stays within video memory.
#include "video/sprite_select.h"
#include "video/vdp.h"
#include "video/words.h"

#include <array>

namespace {

constexpr int MAX_SPRITES = 32;
constexpr int SPRITES_PER_LINE = 4;

// Each bit of a byte twice over, bit 7 becoming bits 15 and 14: a magnified pattern byte.
constexpr std::array<uint16_t, 256> DOUBLED_BITS = [] {
    std::array<uint16_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v)
        for (int b = 0; b < 8; ++b)
            if (v & (1u << b)) t[v] |= uint16_t(3u << (2 * b));
    return t;
}();

inline uint8_t vram_at(uint32_t address) { return vdp.vram[address & VDP_ADDRESS_MASK]; }
// The attribute table starts on a 128-byte boundary, so its 32 entries never wrap.
inline const uint8_t* attributes(int i) { return vdp.vram + vdp.sprite_attr_base + 4 * i; }
inline uint8_t attribute(int i, int byte) { return attributes(i)[byte]; }

// The frame's sprite geometry: the pattern's size, and its size on the screen (twice the
// pattern's when magnified).
struct SpriteSize {
    int pattern; // 8 or 16
    int screen;  // 8, 16 or 32
};

inline SpriteSize sprite_size() {
    int pattern = (vdp.regs[1] & R1_SPRITE_16) ? 16 : 8;
    return {pattern, (vdp.regs[1] & R1_SPRITE_MAGNIFY) ? 2 * pattern : pattern};
}

// Screen row r (0 .. screen size - 1) of sprite `name` as 32 bits, the leftmost pixel in bit 31
// and the bits right of the sprite 0. A 16 x 16 pattern's left columns come from its bytes
// 0..15 and its right columns from bytes 16..31.
inline uint32_t screen_row(uint8_t name, int r, SpriteSize s) {
    bool magnified = s.screen != s.pattern;
    int pattern_row = magnified ? r >> 1 : r;
    uint32_t left, right = 0;
    if (s.pattern == 16) {
        uint32_t base = vdp.sprite_pattern_base + uint32_t(name & 0xFC) * 8 + uint32_t(pattern_row);
        left = vram_at(base);
        right = vram_at(base + 16);
    } else {
        left = vram_at(vdp.sprite_pattern_base + uint32_t(name) * 8 + uint32_t(pattern_row));
    }
    if (magnified) return uint32_t(DOUBLED_BITS[left]) << 16 | DOUBLED_BITS[right];
    return left << 24 | right << 16;
}

// The number of the one set bit of `bit`, by a de Bruijn multiplication: the handheld's
// processor has no instruction that counts zero bits.
inline int bit_number(uint32_t bit) {
    static constexpr uint8_t NUMBERS[32] = {0,  1,  28, 2,  29, 14, 24, 3, 30, 22, 20, 15, 25, 17, 4,  8,
                                            31, 27, 13, 23, 21, 19, 16, 7, 26, 12, 18, 6,  11, 5,  10, 9};
    return NUMBERS[(bit * 0x077CB531u) >> 27];
}

// Y as a screen position: a sprite near the bottom of the Y range hangs over the top edge.
inline int sprite_top(uint8_t y, int screen_size) { return y > 256 - screen_size ? int(y) - 256 : int(y); }

// Draws one selected sprite's row onto picture row `row`.
void draw_sprite_row(uint8_t* row, const uint8_t* entry, uint8_t line, SpriteSize s) {
    uint8_t flags = entry[3];
    uint8_t colour = flags & 0x0F;
    if (colour == 0) return;
    int x = entry[1] - ((flags & 0x80) ? 32 : 0);
    if (x <= -s.screen) return;
    uint32_t bits = screen_row(entry[2], line - sprite_top(entry[0], s.screen) - 1, s);
    // Pixels left of column 0 are dropped, and so are those at column 256 and beyond.
    if (x < 0) {
        bits <<= -x;
        x = 0;
    }
    if (x > 256 - 32) bits &= ~0u << (x - (256 - 32));
    if (bits == 0) return;
    uint32_t pixels = repeat_byte(colour_map[colour]);
    // Aligned words of the row, each merged under the mask of its four columns, so that no
    // pixel takes a branch of its own. The words touched lie inside the row: from column 5 (the
    // left border is 8 wide) to column 266 (the last visible column is 263).
    uint8_t* at = row + VDP_BORDER + x;
    int lead = int(reinterpret_cast<uintptr_t>(at) & 3);
    auto* word = reinterpret_cast<AliasedWord*>(at - lead);
    uint32_t four = bits >> (28 + lead);
    bits <<= 4 - lead;
    for (;;) {
        uint32_t mask = NIBBLE_MASKS[four];
        *word = (*word & ~mask) | (pixels & mask);
        if (bits == 0) break;
        ++word;
        four = bits >> 28;
        bits <<= 4;
    }
}

// Signed difference of two attribute bytes, taken modulo 256.
inline int byte_difference(uint8_t a, uint8_t b) { return int8_t(uint8_t(a - b)); }

bool sprites_collide(int a, int b, SpriteSize s) {
    int limit = s.screen - 1;
    int dy = byte_difference(attribute(a, 0), attribute(b, 0));
    int dx = byte_difference(attribute(a, 1), attribute(b, 1));
    if (dy < -limit || dy > limit || dx < -limit || dx > limit) return false;
    uint8_t name_a = attribute(a, 2), name_b = attribute(b, 2);
    int ra = dy >= 0 ? 0 : -dy;
    int rb = dy >= 0 ? dy : 0;
    int rows = s.screen - (dy >= 0 ? dy : -dy);
    int shift = dx >= 0 ? dx : -dx;
    for (int j = 0; j < rows; ++j) {
        uint32_t row_a = screen_row(name_a, ra + j, s);
        uint32_t row_b = screen_row(name_b, rb + j, s);
        // The sprite further right is moved onto the other's pixel grid.
        if (dx >= 0 ? ((row_a >> shift) & row_b) : (row_a & (row_b >> shift))) return true;
    }
    return false;
}

// A sprite takes part in the collision check when it has a colour and covers at least one
// visible line. Its lowest line is never above the screen, so only its first line matters.
inline bool can_collide(int i, SpriteSize s) {
    return (attribute(i, 3) & 0x0F) != 0 && sprite_top(attribute(i, 0), s.screen) + 1 < VDP_VISIBLE_LINES;
}

// The entries with a row on `line`, as bits: only those before the first end of the list take
// part (all of them when there is none).
[[gnu::always_inline]] inline uint32_t line_sprites(uint8_t line, SpriteSize s) {
    // Selection reads only the Y bytes, all 32 of them without a branch per entry. The row is
    // counted modulo 256, which places a sprite hanging over the top edge too; only on line 0
    // would a sprite whose Y is exactly 256 - size wrongly show its last row, so there the
    // last row is left out.
    const unsigned rows = unsigned(s.screen) - (line == 0 ? 1 : 0);
    SpriteLineBits bits = sprite_line_bits(attributes(0), uint8_t(line - 1), rows);
    return bits.shown & ((bits.ends & (0u - bits.ends)) - 1);
}

} // namespace

void render_sprites_line(uint8_t line) {
    SpriteSize s = sprite_size();
    const uint8_t* entry = attributes(0);
    // Of the sprites on the line, the first four.
    uint32_t shown = line_sprites(line, s);
    int selected[SPRITES_PER_LINE];
    int count = 0;
    for (; shown && count < SPRITES_PER_LINE; ++count) {
        uint32_t lowest = shown & (0u - shown);
        selected[count] = bit_number(lowest);
        shown ^= lowest;
    }
    uint8_t* row = vdp_picture + (line + VDP_BORDER) * VDP_PICTURE_WIDTH;
    // Highest entry first, so the lowest-numbered sprite ends on top.
    while (count > 0) draw_sprite_row(row, entry + 4 * selected[--count], line, s);
}

void vdp_check_collisions() {
    SpriteSize s = sprite_size();
    uint32_t taking_part = 0;
    for (int i = 0; i < MAX_SPRITES && attribute(i, 0) != SPRITE_END; ++i)
        if (can_collide(i, s)) taking_part |= 1u << i;
    for (int a = 0; a < MAX_SPRITES; ++a) {
        if (!(taking_part & (1u << a))) continue;
        for (int b = a + 1; b < MAX_SPRITES; ++b) {
            if (!(taking_part & (1u << b))) continue;
            if (sprites_collide(a, b, s)) {
                vdp.status |= STATUS_COLLISION;
                return;
            }
        }
    }
}

uint8_t vdp_fifth_sprite() {
    int end = 0;
    while (end < MAX_SPRITES && attribute(end, 0) != SPRITE_END) ++end;
    // Without a fifth sprite the scan of every line ends at the end of the list, or after the
    // last entry.
    const uint8_t last_looked_at = uint8_t(end < MAX_SPRITES ? end : MAX_SPRITES - 1);
    if (end <= SPRITES_PER_LINE || !(vdp.regs[1] & R1_DISPLAY_ENABLE)) return last_looked_at;
    SpriteSize s = sprite_size();
    // Sprites per line, kept as the change from the line before: one more on a sprite's first
    // visible line, one fewer after its last.
    int8_t change[VDP_VISIBLE_LINES + 1] = {};
    int last_first = -1; // no line after the last sprite's first can be the first crowded one
    for (int i = 0; i < end; ++i) {
        int top = sprite_top(attribute(i, 0), s.screen);
        int first = top + 1 > 0 ? top + 1 : 0;
        int after = top + 1 + s.screen < VDP_VISIBLE_LINES ? top + 1 + s.screen : VDP_VISIBLE_LINES;
        if (first >= after) continue;
        ++change[first];
        --change[after];
        if (first > last_first) last_first = first;
    }
    int on_line = 0;
    for (int line = 0; line <= last_first; ++line) {
        on_line += change[line];
        if (on_line <= SPRITES_PER_LINE) continue;
        uint32_t shown = line_sprites(uint8_t(line), s);
        for (int k = 0; k < SPRITES_PER_LINE; ++k) shown &= shown - 1;
        return uint8_t(STATUS_FIFTH | bit_number(shown & (0u - shown)));
    }
    return last_looked_at;
}
