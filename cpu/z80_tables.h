// The processor's constant tables, built at compile time: S/Z and parity flags per byte value,
// the DAA results, and the cycle cost of every opcode of each prefix. Read by the core (cpu/);
// nothing else owns or changes them.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

using ByteTable = std::array<uint8_t, 256>;

constexpr ByteTable make_zs_table() {
    ByteTable t{};
    for (int v = 0; v < 256; ++v) t[v] = uint8_t((v == 0 ? 0x40 : 0) | (v & 0x80));
    return t;
}

constexpr ByteTable make_pzs_table() {
    ByteTable t = make_zs_table();
    for (int v = 0; v < 256; ++v) {
        int ones = 0;
        for (int b = 0; b < 8; ++b) ones += (v >> b) & 1;
        if ((ones & 1) == 0) t[v] = uint8_t(t[v] | 0x04);
    }
    return t;
}

inline constexpr ByteTable zs_table = make_zs_table();
inline constexpr ByteTable pzs_table = make_pzs_table();

// INC and DEC by their result: S, Z, H (a carry out of, or a borrow into, the low nibble) and
// P/V (the result crossed 0x7F/0x80); N for DEC. The carry is the caller's to keep.
constexpr ByteTable make_step_table(bool dec) {
    ByteTable t = make_zs_table();
    for (int r = 0; r < 256; ++r) {
        bool half = dec ? (r & 0x0F) == 0x0F : (r & 0x0F) == 0;
        bool overflow = r == (dec ? 0x7F : 0x80);
        t[r] = uint8_t(t[r] | (half ? 0x10 : 0) | (overflow ? 0x04 : 0) | (dec ? 0x02 : 0));
    }
    return t;
}
inline constexpr ByteTable inc_table = make_step_table(false);
inline constexpr ByteTable dec_table = make_step_table(true);

// H, P/V and C of an 8-bit addition or subtraction, looked up by bits 4-8 of a ^ b ^ result
// (the result taken to nine bits): bit 4 is the carry into bit 4, bit 8 the carry out of bit 7,
// and overflow is the carry into bit 7 differing from the carry out of it, where bit 7 of
// a ^ b ^ result is the carry into bit 7. The subtraction's entries carry N too.
constexpr ByteTable make_carries_table(bool sub) {
    ByteTable t{};
    for (int i = 0; i < 32; ++i) {
        int into4 = i & 1, into7 = (i >> 3) & 1, out = (i >> 4) & 1;
        t[i] = uint8_t((into4 ? 0x10 : 0) | (into7 != out ? 0x04 : 0) | out | (sub ? 0x02 : 0));
    }
    return t;
}
inline constexpr ByteTable add_carries = make_carries_table(false);
inline constexpr ByteTable sub_carries = make_carries_table(true);

// Index: A + 0x100 C + 0x200 H + 0x400 N; entry: new A << 8 | new F.
constexpr std::array<uint16_t, 2048> make_daa_table() {
    std::array<uint16_t, 2048> t{};
    for (int i = 0; i < 2048; ++i) {
        int a = i & 0xFF, c = (i >> 8) & 1, h = (i >> 9) & 1, n = (i >> 10) & 1;
        int fix = 0, new_c = 0, new_h;
        if (c || a > 0x99) {
            fix = 0x60;
            new_c = 1;
        }
        if (h || (a & 0x0F) > 9) fix += 0x06;
        int r;
        if (n) {
            r = (a - fix) & 0xFF;
            new_h = (h && (a & 0x0F) < 6) ? 1 : 0;
        } else {
            r = (a + fix) & 0xFF;
            new_h = (a & 0x0F) > 9 ? 1 : 0;
        }
        int f = pzs_table[r] | (r & 0x28) | (new_h << 4) | (n << 1) | new_c;
        t[i] = uint16_t(r << 8 | f);
    }
    return t;
}

inline constexpr std::array<uint16_t, 2048> daa_table = make_daa_table();

// Unprefixed costs; conditional branches hold their not-taken cost, prefixes cost nothing.
inline constexpr ByteTable cycles_main = {
    4,  10, 7,  6,  4,  4,  7,  4,  4,  11, 7,  6,  4,  4,  7,  4,  8,  10, 7,  6,  4,  4,  7,  4,  12, 11,
    7,  6,  4,  4,  7,  4,  7,  10, 16, 6,  4,  4,  7,  4,  7,  11, 16, 6,  4,  4,  7,  4,  7,  10, 13, 6,
    11, 11, 10, 4,  7,  11, 13, 6,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,
    7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,
    4,  4,  4,  4,  4,  4,  7,  4,  7,  7,  7,  7,  7,  7,  4,  7,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,
    4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,
    4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  4,  4,  4,  4,  4,  4,
    7,  4,  4,  4,  4,  4,  4,  4,  7,  4,  5,  10, 10, 10, 10, 11, 7,  11, 5,  10, 10, 0,  10, 17, 7,  11,
    5,  10, 10, 11, 10, 11, 7,  11, 5,  4,  10, 11, 10, 0,  7,  11, 5,  10, 10, 19, 10, 11, 7,  11, 5,  4,
    10, 4,  10, 0,  7,  11, 5,  10, 10, 4,  10, 11, 7,  11, 5,  6,  10, 4,  10, 0,  7,  11,
};

constexpr ByteTable make_cycles_cb() {
    ByteTable t{};
    for (int op = 0; op < 256; ++op) {
        bool memory = (op & 7) == 6;
        bool bit = (op >> 6) == 1;
        t[op] = uint8_t(!memory ? 8 : bit ? 12 : 15);
    }
    return t;
}

struct CostGroup {
    uint8_t cycles;
    std::array<uint8_t, 48> ops; // zero-terminated list (no listed opcode is 0x00)
};

template <std::size_t N> constexpr ByteTable make_cost_table(const CostGroup (&groups)[N]) {
    ByteTable t{};
    for (const CostGroup& g : groups)
        for (uint8_t op : g.ops) {
            if (op == 0) break;
            t[op] = g.cycles;
        }
    return t;
}

inline constexpr CostGroup ed_costs[] = {
    {12, {0x40, 0x41, 0x48, 0x49, 0x50, 0x51, 0x58, 0x59, 0x60, 0x61, 0x68, 0x69, 0x70, 0x78, 0x79}},
    {15, {0x42, 0x4A, 0x52, 0x5A, 0x62, 0x6A, 0x72, 0x7A}},
    {20, {0x43, 0x4B, 0x53, 0x5B, 0x63, 0x6B, 0x73, 0x7B}},
    {8, {0x44, 0x46, 0x56, 0x5E}},
    {14, {0x45, 0x4D}},
    {9, {0x47, 0x4F, 0x57, 0x5F}},
    {18, {0x67, 0x6F}},
    {16, {0xA0, 0xA1, 0xA2, 0xA3, 0xA8, 0xA9, 0xAA, 0xAB}},
};

inline constexpr CostGroup index_costs[] = {
    {15, {0x09, 0x19, 0x29, 0x39, 0xE5}},
    {14, {0x21, 0xE1}},
    {20, {0x22, 0x2A}},
    {10, {0x23, 0x2B, 0xF9}},
    {9, {0x24, 0x25, 0x26, 0x2C, 0x2D, 0x2E, 0x44, 0x45, 0x4C, 0x4D, 0x54, 0x55, 0x5C, 0x5D, 0x60, 0x61,
         0x62, 0x63, 0x64, 0x65, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x7C, 0x7D, 0x84, 0x85,
         0x8C, 0x8D, 0x94, 0x95, 0x9C, 0x9D, 0xA4, 0xA5, 0xAC, 0xAD, 0xB4, 0xB5, 0xBC, 0xBD}},
    {23, {0x34, 0x35, 0xE3}},
    {19, {0x36, 0x46, 0x4E, 0x56, 0x5E, 0x66, 0x6E, 0x7E, 0x70, 0x71, 0x72, 0x73,
          0x74, 0x75, 0x76, 0x77, 0x86, 0x8E, 0x96, 0x9E, 0xA6, 0xAE, 0xB6, 0xBE}},
    {8, {0xE9}},
};

constexpr ByteTable make_cycles_index_cb() {
    ByteTable t{};
    for (int op = 0; op < 256; ++op) {
        if ((op >> 6) == 1)
            t[op] = 20;
        else if ((op & 7) == 6 && (op >> 6) != 1)
            t[op] = 23;
    }
    return t;
}

inline constexpr ByteTable cycles_cb = make_cycles_cb();
// The repeating block instructions hold 0: they charge per iteration.
inline constexpr ByteTable cycles_ed = make_cost_table(ed_costs);
// Shared by DD and FD; 0 for every instruction that does not involve HL.
inline constexpr ByteTable cycles_index = make_cost_table(index_costs);
inline constexpr ByteTable cycles_index_cb = make_cycles_index_cb();
