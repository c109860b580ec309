// The sixteen colours and the presentation of a finished picture into the top-left 272 x 208
// pixels of the screen: sixteen pixels a step on hosts with a wide path, else one palette lookup
// per pair of pixels into a row of ordinary memory, which then goes to the screen whole (on the
// handheld the screen is uncached memory, where every store waits for the bus). Also the wait at
// every frame end that paces the emulation to the console's 60 frames per second.
#include "frontend/surface.h"
#include "machine/driver.h"
#include "platform/platform.h"
#include "video/present_wide.h"
#include "video/vdp.h"
#include "video/words.h"

#include <bit>

alignas(4) uint8_t colour_map[16];
uint16_t palette[16];
uint32_t last_present_ms = 0;
uint32_t last_present_sixtieths = 0;

const uint8_t VDP_PALETTE_RGB[16][4] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x00, 0}, {0x20, 0xC0, 0x20, 0}, {0x60, 0xE0, 0x60, 0},
    {0x20, 0x20, 0xE0, 0}, {0x40, 0x60, 0xE0, 0}, {0xA0, 0x20, 0x20, 0}, {0x40, 0xC0, 0xE0, 0},
    {0xE0, 0x20, 0x20, 0}, {0xE0, 0x60, 0x60, 0}, {0xC0, 0xC0, 0x20, 0}, {0xC0, 0xC0, 0x80, 0},
    {0x20, 0x80, 0x20, 0}, {0xC0, 0x40, 0xA0, 0}, {0xA0, 0xA0, 0xA0, 0}, {0xE0, 0xE0, 0xE0, 0},
};

namespace {

// One console frame lasts 1000/60 ms, that is 1000 sixtieths of a millisecond.
constexpr uint32_t SIXTIETHS_PER_FRAME = 1000;

// Two neighbouring colour indices, the first in bits 3..0 and the second in bits 7..4 -> their
// two screen pixels as one word in memory order, so that a pair of pixels takes one lookup and
// one word store.
uint32_t pixel_pairs[256];

constexpr uint32_t pair_word(uint16_t first, uint16_t second) {
    return std::endian::native == std::endian::little ? uint32_t(second) << 16 | first
                                                      : uint32_t(first) << 16 | second;
}

// Screen words for the four picture bytes of `bytes` (only the low four bits of a byte are a
// colour index) at dst[0..3].
template <bool aligned> inline void put_four(uint16_t* dst, uint32_t bytes, const uint32_t* pairs) {
    uint32_t w = bytes & 0x0F0F0F0F;
    uint32_t first, second;
    if constexpr (std::endian::native == std::endian::little) {
        // The first pixel is the word's low byte: each pair's second index moves down beside
        // its first.
        w |= w >> 4;
        first = w & 0xFF;
        second = (w & 0xFF0000) >> 16;
    } else {
        first = w >> 24 | (w >> 12 & 0xF0);
        second = (w >> 8 & 0x0F) | (w << 4 & 0xF0);
    }
    store_word<aligned>(dst, pairs[first]);
    store_word<aligned>(dst + 2, pairs[second]);
}

// One picture row of screen pixels, made here and stored to a word-aligned screen in one go.
constexpr int ROW_WORDS = VDP_PICTURE_WIDTH / 2;
alignas(32) uint32_t row_pixels[ROW_WORDS];

// Eight pixels a step (a row is 34 steps). A screen that is not word-aligned (only tests make
// one) is written pixel pair by pixel pair.
template <bool aligned> void copy_picture() {
    const uint32_t* pairs = pixel_pairs;
    // Keeps the table's address in a register, so that a lookup is a single indexed load.
    asm("" : "+r"(pairs));
    uint16_t* screen = screen_surface.pixels;
    const uint8_t* src = vdp_picture;
    for (int y = 0; y < VDP_PICTURE_HEIGHT; ++y, screen += screen_surface.pitch) {
        uint16_t* dst = aligned ? reinterpret_cast<uint16_t*>(row_pixels) : screen;
        for (const uint8_t* end = src + VDP_PICTURE_WIDTH; src != end; src += 8, dst += 8) {
            put_four<aligned>(dst, load_word<aligned>(src), pairs);
            put_four<aligned>(dst + 4, load_word<aligned>(src + 4), pairs);
        }
        if constexpr (aligned) present_store_row(screen, row_pixels, ROW_WORDS);
    }
}

} // namespace

// Waits until this frame's due time, one console frame after the previous one's. The due times
// advance by the exact frame period (the sixtieths carry over), so sixty frames take one second.
// A host that has fallen far behind starts afresh from now rather than hurrying through frames
// to catch up. Differences are unsigned, so the clock may wrap.
uint32_t pace_frame() {
    uint32_t period = last_present_sixtieths + SIXTIETHS_PER_FRAME;
    uint32_t interval_ms = period / 60;
    uint32_t now = timer_ticks();
    uint32_t elapsed = now - last_present_ms;
    if (elapsed >= interval_ms + PRESENT_LATE_LIMIT_MS) {
        last_present_ms = now;
        last_present_sixtieths = 0;
        return elapsed - interval_ms;
    }
    uint32_t late = elapsed > interval_ms ? elapsed - interval_ms : 0;
    while (now - last_present_ms < interval_ms) now = timer_ticks();
    last_present_ms += interval_ms;
    last_present_sixtieths = period % 60;
    return late;
}

void palette_set(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
    index &= 0x0F;
    palette[index] = uint16_t(((red << 8) & 0xF800) | ((green << 3) & 0x07E0) | (blue >> 3));
    colour_map[index] = index;
    for (int other = 0; other < 16; ++other) {
        pixel_pairs[other << 4 | index] = pair_word(palette[index], palette[other]);
        pixel_pairs[index << 4 | other] = pair_word(palette[other], palette[index]);
    }
}

void present_frame() {
    if (!vdp_picture || !screen_surface.pixels) return;
    if (present_rows_wide(vdp_picture, VDP_PICTURE_WIDTH, screen_surface.pixels, screen_surface.pitch,
                          VDP_PICTURE_WIDTH, VDP_PICTURE_HEIGHT, palette))
        return;
    // Picture rows are whole words (272 bytes) and so are screen rows when the pitch is even.
    if (word_aligned(vdp_picture) && word_aligned(screen_surface.pixels) && screen_surface.pitch % 2 == 0)
        copy_picture<true>();
    else
        copy_picture<false>();
}
