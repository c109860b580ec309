// The four background line renderers. Each writes one whole row of the picture, borders
// included, from the tables as they are at that moment. Pixels are decided per tile and stored a
// word (four pixels) at a time: each half of a pattern byte selects, through a 16-word table,
// which bytes of the word take the foreground colour and which the background.
//
// Every line is drawn on one of two paths with the same results. The fast one, taken whenever
// the picture starts on a word boundary and the line's tables lie wholly inside video memory
// (always, with the table bases the modes allow), stores whole words and reads the tables
// without wrapping each address; the other stores byte-safely and wraps every read.
#include "video/vdp.h"
#include "video/words.h"

#include <array>

namespace {

// A table of video memory the line reads from `start` on.
template <bool fast> struct Table {
    const uint8_t* base;
    uint32_t start;
    uint8_t operator[](uint32_t offset) const {
        if constexpr (fast) return base[offset];
        return base[(start + offset) & VDP_ADDRESS_MASK];
    }
};

template <bool fast> inline Table<fast> table(uint32_t start) {
    if constexpr (fast) return {vdp.vram + start, 0};
    return {vdp.vram, start};
}

// Whether `span` bytes from `start` on lie inside video memory, so that no read wraps.
inline bool inside(uint32_t start, uint32_t span) { return start + span <= VDP_VRAM_BYTES; }

// Pattern byte -> eight bytes (in memory order) with 0xFF at the set bits' pixels.
constexpr std::array<uint64_t, 256> PIXEL_MASKS = [] {
    std::array<uint64_t, 256> t{};
    for (int p = 0; p < 256; ++p)
        t[unsigned(p)] = uint64_t(NIBBLE_MASKS[unsigned(p >> 4)]) << word_shift(0) |
                         uint64_t(NIBBLE_MASKS[unsigned(p & 0x0F)]) << word_shift(1);
    return t;
}();

// Four pixels: fg where the nibble's bit is set, bg elsewhere (both repeated in every byte).
inline uint32_t four_pixels(uint32_t nibble, uint32_t fg, uint32_t bg) {
    return bg ^ ((fg ^ bg) & NIBBLE_MASKS[nibble & 0x0F]);
}

// Eight pixels of a tile: fg where pattern p has a set bit, bg elsewhere.
template <bool aligned> inline void put_tile(uint8_t* dst, uint32_t p, uint32_t fg, uint32_t bg) {
    uint64_t mask = PIXEL_MASKS[p];
    uint32_t differ = fg ^ bg;
    store_word<aligned>(dst, bg ^ (differ & uint32_t(mask >> word_shift(0))));
    store_word<aligned>(dst + 4, bg ^ (differ & uint32_t(mask >> word_shift(1))));
}

// Hosts with 64-bit registers draw a tile's eight pixels as one word. WebAssembly has them
// beside its 32-bit pointers.
#if defined(__wasm__)
constexpr bool WIDE_TILES = true;
#else
constexpr bool WIDE_TILES = sizeof(void*) == 8;
#endif

// A colour byte's background in all eight bytes, and where the foreground differs from it.
struct TileColours {
    uint64_t bg, differ;
};

// The colour map with every colour repeated in the four bytes of a word, so that a tile's two
// colours are two lookups, and on wide hosts both colours of every colour byte, so that they
// are one. Brought up to date only when a line finds the map changed (colour 0 follows the
// backdrop, which a game may change from line to line), and then only for the changed colours.
struct ColourWords {
    alignas(4) uint8_t map[16];
    uint32_t word[16];
    TileColours tile[WIDE_TILES ? 256 : 1];
    uint32_t high(uint8_t c) const { return word[c >> 4]; }
    uint32_t low(uint8_t c) const { return word[c & 0x0F]; }
};
ColourWords colour_words;

void update_tile_colours(unsigned c) {
    uint64_t fg = colour_words.word[c >> 4], bg = colour_words.word[c & 0x0F];
    fg |= fg << 32;
    bg |= bg << 32;
    colour_words.tile[c] = {bg, fg ^ bg};
}

const ColourWords& current_colour_words() {
    uint32_t changed = 0;
    for (int i = 0; i < 16; i += 4)
        changed |= load_word<true>(colour_map + i) ^ load_word<true>(colour_words.map + i);
    if (!changed) return colour_words;
    uint32_t moved = 0;
    for (unsigned i = 0; i < 16; ++i) {
        if (colour_words.map[i] == colour_map[i]) continue;
        colour_words.map[i] = colour_map[i];
        colour_words.word[i] = repeat_byte(colour_map[i]);
        moved |= 1u << i;
    }
    if constexpr (WIDE_TILES) {
        for (unsigned i = 0; i < 16; ++i) {
            if (!(moved & (1u << i))) continue;
            for (unsigned other = 0; other < 16; ++other) {
                update_tile_colours(i << 4 | other);
                update_tile_colours(other << 4 | i);
            }
        }
    }
    return colour_words;
}

inline uint8_t* picture_row(uint8_t line) { return vdp_picture + (line + VDP_BORDER) * VDP_PICTURE_WIDTH; }

// The part every renderer shares: colour 0 follows the backdrop, a blanked display shows only
// the backdrop, and the top and bottom borders are refreshed with lines 0 and 191. Returns the
// backdrop colour, or -1 when the display is blank and the row is already done.
template <bool aligned> int begin_line(uint8_t line) {
    colour_map[0] = vdp.backdrop_colour;
    uint8_t backdrop = colour_map[vdp.backdrop_colour];
    constexpr int border_bytes = VDP_BORDER * VDP_PICTURE_WIDTH;
    if (line == 0) fill_words<aligned>(vdp_picture, border_bytes, backdrop);
    if (line == VDP_VISIBLE_LINES - 1)
        fill_words<aligned>(vdp_picture + (VDP_BORDER + VDP_VISIBLE_LINES) * VDP_PICTURE_WIDTH, border_bytes,
                            backdrop);
    if (!(vdp.regs[1] & R1_DISPLAY_ENABLE)) {
        fill_words<aligned>(picture_row(line), VDP_PICTURE_WIDTH, backdrop);
        return -1;
    }
    return backdrop;
}

// Left and right borders of `width` columns each.
template <bool aligned> inline void side_borders(uint8_t* row, int width, uint8_t backdrop) {
    fill_words<aligned>(row, width, backdrop);
    fill_words<aligned>(row + VDP_PICTURE_WIDTH - width, width, backdrop);
}

// Graphics I and II differ only in where a tile's pattern and colour bytes are.
template <bool graphics2, bool fast>
void graphics_line(uint8_t line, uint32_t names, uint32_t patterns, uint32_t colours) {
    int backdrop = begin_line<fast>(line);
    if (backdrop < 0) return;
    uint8_t* row = picture_row(line);
    side_borders<fast>(row, VDP_BORDER, uint8_t(backdrop));
    Table<fast> name = table<fast>(names), pattern = table<fast>(patterns), colour = table<fast>(colours);
    const ColourWords& words = current_colour_words();
    uint8_t* dst = row + VDP_BORDER;
    for (uint32_t k = 0; k < 32; ++k, dst += 8) {
        uint32_t n = name[k];
        uint8_t c = graphics2 ? colour[n * 8] : colour[n >> 3];
        if constexpr (fast && WIDE_TILES) {
            const TileColours& t = words.tile[c];
            store_double(dst, t.bg ^ (t.differ & PIXEL_MASKS[pattern[n * 8]]));
        } else {
            put_tile<fast>(dst, pattern[n * 8], words.high(c), words.low(c));
        }
    }
    render_sprites_line(line);
}

// Text: 40 characters of six pixels from column 16 on, taken two at a time so that their twelve
// pixels are three whole words.
template <bool fast> void text_line(uint8_t line, uint32_t names, uint32_t patterns) {
    int backdrop = begin_line<fast>(line);
    if (backdrop < 0) return;
    uint32_t bg = repeat_byte(uint8_t(backdrop));
    uint32_t fg = repeat_byte(colour_map[vdp.text_colour]);
    uint8_t* row = picture_row(line);
    side_borders<fast>(row, 16, uint8_t(backdrop));
    Table<fast> name = table<fast>(names), pattern = table<fast>(patterns);
    uint8_t* dst = row + 16;
    for (uint32_t k = 0; k < 40; k += 2, dst += 12) {
        // Bits 7..2 of each pattern byte, the first character's in bits 11..6.
        uint32_t bits = uint32_t(pattern[name[k] * 8u] >> 2) << 6 | uint32_t(pattern[name[k + 1] * 8u] >> 2);
        store_word<fast>(dst, four_pixels(bits >> 8, fg, bg));
        store_word<fast>(dst + 4, four_pixels(bits >> 4, fg, bg));
        store_word<fast>(dst + 8, four_pixels(bits, fg, bg));
    }
}

// Multicolour: each tile is two blocks of four pixels in the colours of one pattern byte.
template <bool fast> void multicolour_line(uint8_t line, uint32_t names, uint32_t patterns) {
    int backdrop = begin_line<fast>(line);
    if (backdrop < 0) return;
    uint8_t* row = picture_row(line);
    side_borders<fast>(row, VDP_BORDER, uint8_t(backdrop));
    Table<fast> name = table<fast>(names), pattern = table<fast>(patterns);
    const ColourWords& words = current_colour_words();
    uint8_t* dst = row + VDP_BORDER;
    for (uint32_t k = 0; k < 32; ++k, dst += 8) {
        uint8_t b = pattern[name[k] * 8u];
        store_word<fast>(dst, words.high(b));
        store_word<fast>(dst + 4, words.low(b));
    }
    render_sprites_line(line);
}

// The name row of a line, `per_row` names to a row.
inline uint32_t name_row(uint8_t line, uint32_t per_row) { return vdp.name_base + (line >> 3) * per_row; }

// A pattern (or colour) table read at n x 8 for every name n: its last byte read is 2040 on.
constexpr uint32_t BY_NAME = 255 * 8 + 1;

// Rows start on word boundaries when the picture does (a row is 272 bytes, a tile 8).
inline bool picture_aligned() { return word_aligned(vdp_picture); }

} // namespace

void render_text_line(uint8_t line) {
    uint32_t names = name_row(line, 40), patterns = vdp.pattern_base + (line & 7u);
    if (picture_aligned() && inside(names, 40) && inside(patterns, BY_NAME))
        text_line<true>(line, names, patterns);
    else
        text_line<false>(line, names, patterns);
}

void render_graphics1_line(uint8_t line) {
    uint32_t names = name_row(line, 32), patterns = vdp.pattern_base + (line & 7u);
    if (picture_aligned() && inside(names, 32) && inside(patterns, BY_NAME) && inside(vdp.colour_base, 32))
        graphics_line<false, true>(line, names, patterns, vdp.colour_base);
    else
        graphics_line<false, false>(line, names, patterns, vdp.colour_base);
}

void render_graphics2_line(uint8_t line) {
    // The screen's thirds have pattern and colour tables of their own.
    uint32_t third = uint32_t(line & 0xC0) << 5;
    uint32_t names = name_row(line, 32);
    uint32_t patterns = vdp.pattern_base + third + (line & 7u),
             colours = vdp.colour_base + third + (line & 7u);
    if (picture_aligned() && inside(names, 32) && inside(patterns, BY_NAME) && inside(colours, BY_NAME))
        graphics_line<true, true>(line, names, patterns, colours);
    else
        graphics_line<true, false>(line, names, patterns, colours);
}

void render_multicolour_line(uint8_t line) {
    uint32_t names = name_row(line, 32), patterns = vdp.pattern_base + ((line >> 2) & 7u);
    if (picture_aligned() && inside(names, 32) && inside(patterns, BY_NAME))
        multicolour_line<true>(line, names, patterns);
    else
        multicolour_line<false>(line, names, patterns);
}
