// Sprite selection on x86 (SSE2, which every x86-64 processor has): the 32 Y bytes are gathered
// from the attribute table into two registers, and each test is one compare for sixteen entries.
#include "video/sprite_select.h"

#include <emmintrin.h>

namespace {

// The Y bytes (every fourth byte) of entries 16 x half .. 16 x half + 15, in order.
inline __m128i y_bytes(const uint8_t* attributes, int half) {
    const __m128i low_byte = _mm_set1_epi32(0xFF);
    auto* at = reinterpret_cast<const __m128i*>(attributes + 64 * half);
    __m128i a = _mm_and_si128(_mm_loadu_si128(at), low_byte);
    __m128i b = _mm_and_si128(_mm_loadu_si128(at + 1), low_byte);
    __m128i c = _mm_and_si128(_mm_loadu_si128(at + 2), low_byte);
    __m128i d = _mm_and_si128(_mm_loadu_si128(at + 3), low_byte);
    return _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
}

} // namespace

SpriteLineBits sprite_line_bits(const uint8_t* attributes, uint8_t above, unsigned rows) {
    const __m128i line = _mm_set1_epi8(char(above));
    const __m128i last_row = _mm_set1_epi8(char(rows - 1));
    const __m128i end = _mm_set1_epi8(char(SPRITE_END));
    uint32_t shown = 0, ends = 0;
    for (int half = 0; half < 2; ++half) {
        __m128i y = y_bytes(attributes, half);
        // (above - Y) modulo 256 is below `rows` when it is its own minimum with rows - 1.
        __m128i row = _mm_sub_epi8(line, y);
        __m128i in = _mm_cmpeq_epi8(_mm_min_epu8(row, last_row), row);
        shown |= uint32_t(_mm_movemask_epi8(in)) << (16 * half);
        ends |= uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(y, end))) << (16 * half);
    }
    return {shown, ends};
}
