// Word-wide access to the picture and the screen, for the line renderers, the sprites and the
// presentation. Four picture bytes (or two screen pixels) move as one 32-bit word. Each helper
// has an aligned form, one load or store, for pictures and screens that start on a word boundary
// (every buffer the program allocates does), and a byte-by-byte form for any other. Neither
// goes through std::memcpy: on the handheld's ARMv4T the compiler turns a 4-byte memcpy whose
// alignment it cannot prove into a library call. Words are laid out in memory order: the
// leftmost pixel is the first byte in memory on either byte order.
#pragma once
#include <array>
#include <bit>
#include <cstdint>

// A word that may overlay bytes of any type (the compiler's own exception to the aliasing rules).
typedef uint32_t __attribute__((may_alias)) AliasedWord;

// Eight bytes that start on a word boundary, as one store where the host has 64-bit registers.
typedef uint64_t __attribute__((may_alias, aligned(4))) AliasedDouble;
inline void store_double(void* dst, uint64_t w) { *static_cast<AliasedDouble*>(dst) = w; }

inline bool word_aligned(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 3) == 0; }

// The shift that brings byte i (0..3, in memory order) of a word to its bits 0..7.
constexpr int byte_shift(int i) { return std::endian::native == std::endian::little ? 8 * i : 24 - 8 * i; }
// The shift that brings word i (0 or 1, in memory order) of a double word to its bits 0..31.
constexpr int word_shift(int i) { return std::endian::native == std::endian::little ? 32 * i : 32 - 32 * i; }

template <bool aligned> inline void store_word(void* dst, uint32_t w) {
    if constexpr (aligned) {
        *static_cast<AliasedWord*>(dst) = w;
    } else {
        auto* d = static_cast<uint8_t*>(dst);
        for (int i = 0; i < 4; ++i) d[i] = uint8_t(w >> byte_shift(i));
    }
}

template <bool aligned> inline uint32_t load_word(const void* src) {
    if constexpr (aligned) {
        return *static_cast<const AliasedWord*>(src);
    } else {
        auto* s = static_cast<const uint8_t*>(src);
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i) w |= uint32_t(s[i]) << byte_shift(i);
        return w;
    }
}

// A colour index in all four bytes.
constexpr uint32_t repeat_byte(uint8_t v) { return v * 0x01010101u; }

// Fills `bytes` bytes (a multiple of 4) with one colour index.
template <bool aligned> inline void fill_words(uint8_t* dst, int bytes, uint8_t colour) {
    uint32_t w = repeat_byte(colour);
    for (int i = 0; i < bytes; i += 4) store_word<aligned>(dst + i, w);
}

// Four pixel bits (bit 3 the leftmost pixel) -> a word with 0xFF in the bytes of the set pixels.
inline constexpr std::array<uint32_t, 16> NIBBLE_MASKS = [] {
    std::array<uint32_t, 16> t{};
    for (int n = 0; n < 16; ++n)
        for (int i = 0; i < 4; ++i)
            if (n & (8 >> i)) t[n] |= 0xFFu << byte_shift(i);
    return t;
}();
