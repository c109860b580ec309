// The wide presentation path on x86: a byte shuffle looks up sixteen colour indices at once in a
// sixteen-byte table, one shuffle for the low bytes of the screen pixels and one for the high
// bytes, and the two are interleaved into sixteen RGB565 pixels. The shuffle came with SSSE3, so
// the path is compiled for it alone and taken only when the processor reports it.
#include "video/present_wide.h"

#include <immintrin.h>

namespace {

bool has_shuffle() {
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}

__attribute__((target("ssse3"))) void convert(const uint8_t* picture, int picture_pitch, uint16_t* screen,
                                              int screen_pitch, int width, int rows,
                                              const uint16_t colours[16]) {
    alignas(16) uint8_t low[16], high[16];
    for (int i = 0; i < 16; ++i) {
        low[i] = uint8_t(colours[i]);
        high[i] = uint8_t(colours[i] >> 8);
    }
    const __m128i low_table = _mm_load_si128(reinterpret_cast<const __m128i*>(low));
    const __m128i high_table = _mm_load_si128(reinterpret_cast<const __m128i*>(high));
    const __m128i index_bits = _mm_set1_epi8(0x0F);
    for (int y = 0; y < rows; ++y, picture += picture_pitch, screen += screen_pitch) {
        for (int x = 0; x < width; x += 16) {
            __m128i index =
                _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(picture + x)), index_bits);
            __m128i l = _mm_shuffle_epi8(low_table, index);
            __m128i h = _mm_shuffle_epi8(high_table, index);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(screen + x), _mm_unpacklo_epi8(l, h));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(screen + x + 8), _mm_unpackhi_epi8(l, h));
        }
    }
}

} // namespace

bool present_rows_wide(const uint8_t* picture, int picture_pitch, uint16_t* screen, int screen_pitch,
                       int width, int rows, const uint16_t colours[16]) {
    if (width % 16 != 0 || !has_shuffle()) return false;
    convert(picture, picture_pitch, screen, screen_pitch, width, rows, colours);
    return true;
}
