// The run loop and all instruction sets. One template, op<M, N>, describes opcode N of the
// unprefixed set (M = 0) and of the DD and FD sets (M = 1, 2: HL replaced by IX or IY); it
// is decoded at compile time, so every prefix gets its own jump table and each opcode byte
// costs one dispatch. cpu_run works on a local copy of the state (Regs, pairs kept as words) so
// that the registers can live in host registers; the copy is written back around every call
// that sees the state.
#include "cpu/z80.h"

#include "cpu/z80_tables.h"

#include <bit>
#include <cstring>
#include <type_traits>

#define ALWAYS_INLINE [[gnu::always_inline]] inline

namespace {

constexpr uint8_t FLAG_C = 0x01, FLAG_N = 0x02, FLAG_PV = 0x04, FLAG_H = 0x10, FLAG_Z = 0x40, FLAG_S = 0x80;

// A plain cartridge's address space is cpu_memory alone. A bank-switched one shows a window of
// its image at 0xC000-0xFFFF instead of cpu_memory's top quarter; the window's start is kept
// here and moved whenever a read reaches the bank-selecting addresses.
struct FlatSpace {};
struct BankedSpace {
    Z80Banks* banks;
    const uint8_t* window;
};

// The run loop's own copy of the registers: pairs as 16-bit words and A and F apart, so that a
// pair's 16-bit uses (addresses, INC rr, ADD HL,rr, PUSH and POP) take the word as it is and the
// whole set fits the host's registers. Z80State, the record every caller sees, keeps the two
// halves of a pair as bytes; the copy is converted whenever the state is handed out.
struct Regs {
    uint16_t BC, DE, HL, IX, IY, PC, SP;
    uint8_t A, F;
    uint16_t AF2, BC2, DE2, HL2;
    uint8_t iff;
    uint8_t I;
    uint8_t R;
    int32_t cycle_period;
    // cycles_left - 1: the slice goes on while it is not negative, which the host tests from
    // the sign of the subtraction that charges an instruction.
    int32_t spare;
    int32_t cycles_saved;
    uint16_t irq_request;
    uint8_t irq_auto_reset;
};

// One half of a pair as an 8-bit register that can be read and assigned.
template <bool HIGH> struct Half {
    uint16_t& w;
    ALWAYS_INLINE operator uint8_t() const { return HIGH ? uint8_t(w >> 8) : uint8_t(w); }
    ALWAYS_INLINE Half& operator=(uint8_t v) {
        w = HIGH ? uint16_t((w & 0x00FF) | v << 8) : uint16_t((w & 0xFF00) | v);
        return *this;
    }
    ALWAYS_INLINE Half& operator=(const Half& o) { return *this = uint8_t(o); }
};

template <bool BANKED> struct Core {
    Regs z;
    const uint8_t* mem;
    Z80State* home;
    int32_t zero_mark;
    uint32_t zero_run;
    [[no_unique_address]] std::conditional_t<BANKED, BankedSpace, FlatSpace> space;
    static constexpr bool banked = BANKED;
};

ALWAYS_INLINE void show_bank(BankedSpace& space, uint32_t bank) {
    space.banks->bank = bank;
    space.window = space.banks->image + bank * Z80_BANK_BYTES;
}

// Every read of the address space: instruction bytes, data, the stack, block instructions.
template <class C> ALWAYS_INLINE uint8_t read(C& c, uint16_t a) {
    if constexpr (C::banked) {
        if (a >= Z80_BANK_WINDOW) {
            if (a >= Z80_BANK_SELECT) show_bank(c.space, a & c.space.banks->mask);
            return c.space.window[a - Z80_BANK_WINDOW];
        }
    }
    return c.mem[a];
}

// Hosts whose loads take any alignment and whose memory is little-endian, as the Z80's is: there
// a word of a plain cartridge's address space is one load. Elsewhere (the handheld's ARM9 has
// no unaligned loads) it is two byte loads, as the banked space always is.
constexpr bool WORD_LOADS =
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__wasm__)
    std::endian::native == std::endian::little;
#else
    false;
#endif

// Low byte first: with banks, each read may select one.
template <class C> ALWAYS_INLINE uint16_t read16(C& c, uint16_t a) {
    if constexpr (WORD_LOADS && !C::banked) {
        // The word at 0xFFFF wraps to 0x0000.
        if (a != 0xFFFF) {
            uint16_t v;
            std::memcpy(&v, c.mem + a, sizeof v);
            return v;
        }
    }
    uint8_t lo = read(c, a);
    return uint16_t(read(c, uint16_t(a + 1)) << 8 | lo);
}
template <class C> ALWAYS_INLINE uint8_t fetch(C& c) { return read(c, c.z.PC++); }
template <class C> ALWAYS_INLINE uint16_t fetch16(C& c) {
    if constexpr (WORD_LOADS && !C::banked) {
        uint16_t v = read16(c, c.z.PC);
        c.z.PC = uint16_t(c.z.PC + 2);
        return v;
    }
    uint8_t lo = fetch(c);
    return uint16_t(fetch(c) << 8 | lo);
}
ALWAYS_INLINE void write16(uint16_t a, uint16_t v) {
    cpu_write(a, uint8_t(v));
    cpu_write(uint16_t(a + 1), uint8_t(v >> 8));
}
template <class C> ALWAYS_INLINE void push(C& c, uint16_t v) {
    c.z.SP = uint16_t(c.z.SP - 1);
    cpu_write(c.z.SP, uint8_t(v >> 8));
    c.z.SP = uint16_t(c.z.SP - 1);
    cpu_write(c.z.SP, uint8_t(v));
}
template <class C> ALWAYS_INLINE uint16_t pop(C& c) {
    uint16_t v = read16(c, c.z.SP);
    c.z.SP = uint16_t(c.z.SP + 2);
    return v;
}

constexpr uint16_t word(Z80Pair p) { return p.w(); }
constexpr Z80Pair pair(uint16_t v) { return Z80Pair{uint8_t(v), uint8_t(v >> 8)}; }

// Field by field: a whole-struct copy of the registers that live in host registers is built on
// the stack a byte at a time and then moved in wide words, which stalls the host at every
// call (the loads cannot take the data from the byte stores still in flight). These fields are
// the same in both records; the pairs and the budget are converted.
template <class To, class From> ALWAYS_INLINE void copy_same_fields(To& to, const From& from) {
    to.PC = from.PC;
    to.SP = from.SP;
    to.iff = from.iff;
    to.I = from.I;
    to.R = from.R;
    to.cycle_period = from.cycle_period;
    to.cycles_saved = from.cycles_saved;
    to.irq_request = from.irq_request;
    to.irq_auto_reset = from.irq_auto_reset;
}
ALWAYS_INLINE void store_state(Z80State& to, const Regs& from) {
    static_assert(sizeof(Z80State) == 44, "a field added to Z80State must be copied here too");
    copy_same_fields(to, from);
    to.AF = Z80Pair{from.F, from.A};
    to.BC = pair(from.BC);
    to.DE = pair(from.DE);
    to.HL = pair(from.HL);
    to.IX = pair(from.IX);
    to.IY = pair(from.IY);
    to.AF2 = pair(from.AF2);
    to.BC2 = pair(from.BC2);
    to.DE2 = pair(from.DE2);
    to.HL2 = pair(from.HL2);
    to.cycles_left = int32_t(uint32_t(from.spare) + 1);
}
ALWAYS_INLINE void load_state(Regs& to, const Z80State& from) {
    copy_same_fields(to, from);
    to.A = from.AF.hi;
    to.F = from.AF.lo;
    to.BC = word(from.BC);
    to.DE = word(from.DE);
    to.HL = word(from.HL);
    to.IX = word(from.IX);
    to.IY = word(from.IY);
    to.AF2 = word(from.AF2);
    to.BC2 = word(from.BC2);
    to.DE2 = word(from.DE2);
    to.HL2 = word(from.HL2);
    to.spare = int32_t(uint32_t(from.cycles_left) - 1);
}

// Written back before, and read again after, any call that receives the state.
template <class C> ALWAYS_INLINE void park(C& c) { store_state(*c.home, c.z); }
template <class C> ALWAYS_INLINE void unpark(C& c) {
    load_state(c.z, *c.home);
    c.mem = cpu_memory;
    if constexpr (C::banked) show_bank(c.space, c.space.banks->bank);
}

// A zero-cost instruction leaves the budget as it was, so consecutive ones all see the same
// value; anything that costs moves it on.
template <class C> ALWAYS_INLINE void zero_cost_step(C& c) {
    if (c.z.spare != c.zero_mark) {
        c.zero_mark = c.z.spare;
        c.zero_run = 0;
    }
    if (++c.zero_run >= ZERO_COST_RUN_LIMIT) c.z.spare = -1;
}

template <int M> ALWAYS_INLINE uint16_t& index_pair(Regs& z) {
    if constexpr (M == 0)
        return z.HL;
    else if constexpr (M == 1)
        return z.IX;
    else
        return z.IY;
}

// Register code R (0-5, 7) under prefix M: codes 4 and 5 are the halves of HL, IX or IY.
template <int M, int R> ALWAYS_INLINE decltype(auto) reg(Regs& z) {
    if constexpr (R == 0)
        return Half<true>{z.BC};
    else if constexpr (R == 1)
        return Half<false>{z.BC};
    else if constexpr (R == 2)
        return Half<true>{z.DE};
    else if constexpr (R == 3)
        return Half<false>{z.DE};
    else if constexpr (R == 4)
        return Half<true>{index_pair<M>(z)};
    else if constexpr (R == 5)
        return Half<false>{index_pair<M>(z)};
    else {
        static_assert(R == 7);
        return (z.A);
    }
}

// The (HL) operand, or (IX+d) / (IY+d) with its displacement fetched here.
template <int M, class C> ALWAYS_INLINE uint16_t memory_operand(C& c) {
    if constexpr (M == 0)
        return c.z.HL;
    else
        return uint16_t(index_pair<M>(c.z) + int8_t(fetch(c)));
}

// Register-pair code P (0-3) with SP, or with AF for PUSH and POP.
template <int M, int P, bool AF> ALWAYS_INLINE uint16_t pair_get(Regs& z) {
    if constexpr (P == 0)
        return z.BC;
    else if constexpr (P == 1)
        return z.DE;
    else if constexpr (P == 2)
        return index_pair<M>(z);
    else if constexpr (AF)
        return uint16_t(z.A << 8 | z.F);
    else
        return z.SP;
}
template <int M, int P, bool AF> ALWAYS_INLINE void pair_set(Regs& z, uint16_t v) {
    if constexpr (P == 0)
        z.BC = v;
    else if constexpr (P == 1)
        z.DE = v;
    else if constexpr (P == 2)
        index_pair<M>(z) = v;
    else if constexpr (AF) {
        z.A = uint8_t(v >> 8);
        z.F = uint8_t(v);
    } else
        z.SP = v;
}

template <int CC> ALWAYS_INLINE bool condition(uint8_t f) {
    constexpr uint8_t masks[4] = {FLAG_Z, FLAG_C, FLAG_PV, FLAG_S};
    bool set = (f & masks[CC >> 1]) != 0;
    return (CC & 1) ? set : !set;
}

// Arithmetic and logic on A; Y is the operation code of opcodes 80-BF.
template <int Y> ALWAYS_INLINE void alu(Regs& z, uint8_t b) {
    uint8_t a = z.A;
    if constexpr (Y == 0 || Y == 1) {
        unsigned s = unsigned(a) + b + (Y == 1 ? (z.F & FLAG_C) : 0);
        uint8_t r = uint8_t(s);
        z.F = uint8_t(zs_table[r] | add_carries[((a ^ b ^ s) >> 4) & 0x1F]);
        z.A = r;
    } else if constexpr (Y == 2 || Y == 3 || Y == 7) {
        unsigned d = unsigned(a) - b - (Y == 3 ? (z.F & FLAG_C) : 0);
        uint8_t r = uint8_t(d);
        z.F = uint8_t(zs_table[r] | sub_carries[((a ^ b ^ d) >> 4) & 0x1F]);
        if constexpr (Y != 7) z.A = r;
    } else if constexpr (Y == 4) {
        z.A = uint8_t(a & b);
        z.F = uint8_t(pzs_table[z.A] | FLAG_H);
    } else if constexpr (Y == 5) {
        z.A = uint8_t(a ^ b);
        z.F = pzs_table[z.A];
    } else {
        z.A = uint8_t(a | b);
        z.F = pzs_table[z.A];
    }
}

ALWAYS_INLINE uint8_t inc8(Regs& z, uint8_t v) {
    uint8_t r = uint8_t(v + 1);
    z.F = uint8_t(inc_table[r] | (z.F & FLAG_C));
    return r;
}
ALWAYS_INLINE uint8_t dec8(Regs& z, uint8_t v) {
    uint8_t r = uint8_t(v - 1);
    z.F = uint8_t(dec_table[r] | (z.F & FLAG_C));
    return r;
}

ALWAYS_INLINE uint16_t add16(Regs& z, uint16_t x, uint16_t y) {
    unsigned s = unsigned(x) + y;
    z.F = uint8_t((z.F & 0xEC) | (((x ^ y ^ s) >> 8) & FLAG_H) | (s >> 16));
    return uint16_t(s);
}
ALWAYS_INLINE void adc16(Regs& z, uint16_t y) {
    uint16_t x = z.HL;
    unsigned s = unsigned(x) + y + (z.F & FLAG_C);
    uint16_t r = uint16_t(s);
    z.F = uint8_t(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) | (((x ^ y ^ s) >> 8) & FLAG_H) |
                  ((~(x ^ y) & (y ^ r) & 0x8000) >> 13) | (s >> 16));
    z.HL = r;
}
ALWAYS_INLINE void sbc16(Regs& z, uint16_t y) {
    uint16_t x = z.HL;
    int d = int(x) - y - (z.F & FLAG_C);
    uint16_t r = uint16_t(d);
    z.F = uint8_t(((r >> 8) & FLAG_S) | (r == 0 ? FLAG_Z : 0) | (((x ^ y ^ d) >> 8) & FLAG_H) |
                  (((x ^ y) & (x ^ r) & 0x8000) >> 13) | ((d >> 16) & FLAG_C) | FLAG_N);
    z.HL = r;
}

// CB rotates and shifts; Y selects the operation.
template <int Y> ALWAYS_INLINE uint8_t rotate(Regs& z, uint8_t v) {
    uint8_t r, out;
    uint8_t cy = z.F & FLAG_C;
    if constexpr (Y == 0) {
        r = uint8_t(v << 1 | v >> 7);
        out = v >> 7;
    } else if constexpr (Y == 1) {
        r = uint8_t(v >> 1 | v << 7);
        out = v & 1;
    } else if constexpr (Y == 2) {
        r = uint8_t(v << 1 | cy);
        out = v >> 7;
    } else if constexpr (Y == 3) {
        r = uint8_t(v >> 1 | cy << 7);
        out = v & 1;
    } else if constexpr (Y == 4) {
        r = uint8_t(v << 1);
        out = v >> 7;
    } else if constexpr (Y == 5) {
        r = uint8_t(v >> 1 | (v & 0x80));
        out = v & 1;
    } else if constexpr (Y == 6) {
        r = uint8_t(v << 1 | 1);
        out = v >> 7;
    } else {
        r = uint8_t(v >> 1);
        out = v & 1;
    }
    z.F = uint8_t(pzs_table[r] | out);
    return r;
}

template <int Y> ALWAYS_INLINE void bit_test(Regs& z, uint8_t v) {
    z.F = uint8_t((z.F & 0xBD) | FLAG_H | ((v >> Y) & 1 ? 0 : FLAG_Z));
}

template <int X, int Y> ALWAYS_INLINE uint8_t bit_change(uint8_t v) {
    return X == 2 ? uint8_t(v & ~(1 << Y)) : uint8_t(v | (1 << Y));
}

template <class C> ALWAYS_INLINE void halt(C& c) {
    c.z.PC = uint16_t(c.z.PC - 1);
    c.z.iff |= IFF_HALTED;
    c.z.spare = -1;
}

template <class C> ALWAYS_INLINE void enable_interrupts(C& c) {
    c.z.iff |= IFF_1;
    if (c.z.irq_request != HOOK_NONE) {
        c.z.cycles_saved = c.z.spare + 1;
        c.z.iff |= IFF_AFTER_EI;
        // The zero-cost run goes on counting: an EI under a prefix costs nothing itself, and a
        // loop of such EIs and free jumps must still end its slice.
        c.z.spare = 0;
    }
}

template <class C> ALWAYS_INLINE void relative_jump(C& c) {
    int8_t e = int8_t(fetch(c));
    c.z.PC = uint16_t(c.z.PC + e);
}

// Taken-branch extras apply only without an index prefix.
template <int M, class C> ALWAYS_INLINE void charge_taken(C& c, int32_t extra) {
    if constexpr (M == 0) c.z.spare -= extra;
}

#define CASES16(G, h)                                                                                        \
    G(0x##h##0)                                                                                              \
    G(0x##h##1)                                                                                              \
    G(0x##h##2)                                                                                              \
    G(0x##h##3)                                                                                              \
    G(0x##h##4) G(0x##h##5) G(0x##h##6) G(0x##h##7) G(0x##h##8) G(0x##h##9) G(0x##h##A) G(0x##h##B)          \
        G(0x##h##C) G(0x##h##D) G(0x##h##E) G(0x##h##F)
#define CASES256(G)                                                                                          \
    CASES16(G, 0)                                                                                            \
    CASES16(G, 1)                                                                                            \
    CASES16(G, 2)                                                                                            \
    CASES16(G, 3)                                                                                            \
    CASES16(G, 4) CASES16(G, 5) CASES16(G, 6) CASES16(G, 7) CASES16(G, 8) CASES16(G, 9) CASES16(G, A)        \
        CASES16(G, B) CASES16(G, C) CASES16(G, D) CASES16(G, E) CASES16(G, F)

template <int N, class C> ALWAYS_INLINE void cb_op(C& c) {
    constexpr int X = N >> 6, Y = (N >> 3) & 7, R = N & 7;
    Regs& z = c.z;
    if constexpr (R == 6) {
        uint16_t a = z.HL;
        uint8_t v = read(c, a);
        if constexpr (X == 0)
            cpu_write(a, rotate<Y>(z, v));
        else if constexpr (X == 1)
            bit_test<Y>(z, v);
        else
            cpu_write(a, bit_change<X, Y>(v));
    } else {
        auto&& r = reg<0, R>(z);
        if constexpr (X == 0)
            r = rotate<Y>(z, r);
        else if constexpr (X == 1)
            bit_test<Y>(z, r);
        else
            r = bit_change<X, Y>(r);
    }
}

template <class C> ALWAYS_INLINE void exec_cb(C& c) {
    switch (fetch(c)) {
#define CB_CASE(n)                                                                                           \
    case n:                                                                                                  \
        c.z.spare -= cycles_cb[n];                                                                           \
        cb_op<n>(c);                                                                                         \
        break;
        CASES256(CB_CASE)
#undef CB_CASE
    }
}

// DD CB d op and FD CB d op: only the (IX+d) forms act; the register-copy forms do nothing.
template <int N, class C> ALWAYS_INLINE void index_cb_op(C& c, uint16_t a) {
    constexpr int X = N >> 6, Y = (N >> 3) & 7, R = N & 7;
    if constexpr (X == 1)
        bit_test<Y>(c.z, read(c, a));
    else if constexpr (R != 6)
        zero_cost_step(c);
    else if constexpr (X == 0)
        cpu_write(a, rotate<Y>(c.z, read(c, a)));
    else
        cpu_write(a, bit_change<X, Y>(read(c, a)));
}

template <int M, class C> ALWAYS_INLINE void exec_index_cb(C& c) {
    uint16_t a = memory_operand<M>(c);
    switch (fetch(c)) {
#define ICB_CASE(n)                                                                                          \
    case n:                                                                                                  \
        c.z.spare -= cycles_index_cb[n];                                                                     \
        index_cb_op<n>(c, a);                                                                                \
        break;
        CASES256(ICB_CASE)
#undef ICB_CASE
    }
}

// Block transfers, compares and I/O. D is +1 or -1; REPEAT runs iterations against the budget
// and restarts the instruction after the slice end when the budget runs out first.
template <int D, bool REPEAT, class C> ALWAYS_INLINE void block_load(C& c) {
    Regs& z = c.z;
    for (;;) {
        cpu_write(z.DE, read(c, z.HL));
        z.HL = uint16_t(z.HL + D);
        z.DE = uint16_t(z.DE + D);
        z.BC = uint16_t(z.BC - 1);
        if constexpr (!REPEAT) {
            z.F = uint8_t((z.F & 0xE9) | (z.BC != 0 ? FLAG_PV : 0));
            return;
        } else {
            z.spare -= 21;
            if (z.BC == 0) {
                z.spare += 5;
                z.F &= 0xE9;
                return;
            }
            if (z.spare < 0) {
                z.PC = uint16_t(z.PC - 2);
                z.F = uint8_t((z.F & 0xE9) | FLAG_N);
                return;
            }
        }
    }
}

template <int D, bool REPEAT, class C> ALWAYS_INLINE void block_compare(C& c) {
    Regs& z = c.z;
    for (;;) {
        uint8_t a = z.A, v = read(c, z.HL);
        z.HL = uint16_t(z.HL + D);
        z.BC = uint16_t(z.BC - 1);
        int d = int(a) - v;
        z.F = uint8_t(zs_table[uint8_t(d)] | (z.F & FLAG_C) | ((a ^ v ^ d) & FLAG_H) |
                      (z.BC != 0 ? FLAG_PV : 0) | FLAG_N);
        if constexpr (!REPEAT) return;
        z.spare -= 21;
        if (z.BC == 0 || d == 0) {
            z.spare += 5;
            return;
        }
        if (z.spare < 0) {
            z.PC = uint16_t(z.PC - 2);
            return;
        }
    }
}

// Whether `count` addresses from `a` on, stepping by D (wrapping at 64 KB), reach the banks.
template <int D, class C> ALWAYS_INLINE bool reaches_bank_window(C&, uint16_t a, uint32_t count) {
    if constexpr (!C::banked) return false;
    int32_t last = int32_t(a) + D * int32_t(count - 1);
    return (D > 0 ? last : int32_t(a)) >= Z80_BANK_WINDOW || last < 0;
}

// OTIR and OTDR: as many iterations as B asks for (0 = 256) and the budget allows (at least one,
// as the loops above: an iteration is counted before the budget is looked at) go to the
// machine as one run.
template <int D, class C> ALWAYS_INLINE void block_out_repeat(C& c) {
    Regs& z = c.z;
    uint32_t budget = z.spare >= 0 ? uint32_t(z.spare + 21) / 21 : 1;
    uint8_t b = uint8_t(z.BC >> 8), port = uint8_t(z.BC);
    uint32_t wanted = b != 0 ? b : 256;
    uint32_t count = budget < wanted ? budget : wanted;
    if (!reaches_bank_window<D>(c, z.HL, count)) {
        cpu_out_run(port, z.HL, D, count);
    } else {
        // The machine's run reads cpu_memory, which does not hold the banks: byte by byte.
        uint16_t a = z.HL;
        for (uint32_t n = count; n != 0; --n, a = uint16_t(a + D)) cpu_out(port, read(c, a));
    }
    z.HL = uint16_t(z.HL + D * int(count));
    b = uint8_t(b - count);
    z.BC = uint16_t(b << 8 | port);
    z.spare -= int32_t(21 * count);
    if (b == 0) {
        z.spare += 5;
        z.F = 0x42;
    } else {
        z.PC = uint16_t(z.PC - 2);
        z.F = 0x02;
    }
}

template <int D, bool REPEAT, bool OUT, class C> ALWAYS_INLINE void block_io(C& c) {
    if constexpr (REPEAT && OUT) return block_out_repeat<D>(c);
    Regs& z = c.z;
    for (;;) {
        if constexpr (OUT) {
            uint8_t v = read(c, z.HL);
            z.HL = uint16_t(z.HL + D);
            cpu_out(uint8_t(z.BC), v);
        } else {
            cpu_write(z.HL, cpu_in(uint8_t(z.BC)));
            z.HL = uint16_t(z.HL + D);
        }
        z.BC = uint16_t(z.BC - 0x100);
        if constexpr (!REPEAT) {
            z.F = z.BC < 0x100 ? 0x42 : 0x02;
            return;
        } else {
            z.spare -= 21;
            if (z.BC < 0x100) {
                z.spare += 5;
                z.F = 0x42;
                return;
            }
            if (z.spare < 0) {
                z.PC = uint16_t(z.PC - 2);
                z.F = 0x02;
                return;
            }
        }
    }
}

template <int N, class C> ALWAYS_INLINE void ed_op(C& c) {
    constexpr int Y = (N >> 3) & 7, R = N & 7, P = Y >> 1, Q = Y & 1;
    Regs& z = c.z;
    if constexpr (N >= 0x40 && N < 0x80 && R == 0) {
        uint8_t v = cpu_in(uint8_t(z.BC));
        if constexpr (Y != 6) reg<0, Y>(z) = v;
        z.F = uint8_t(pzs_table[v] | (z.F & FLAG_C));
    } else if constexpr (N >= 0x40 && N < 0x80 && R == 1 && Y != 6) {
        cpu_out(uint8_t(z.BC), reg<0, Y>(z));
    } else if constexpr (N >= 0x40 && N < 0x80 && R == 2) {
        if constexpr (Q == 0)
            sbc16(z, pair_get<0, P, false>(z));
        else
            adc16(z, pair_get<0, P, false>(z));
    } else if constexpr (N >= 0x40 && N < 0x80 && R == 3) {
        uint16_t a = fetch16(c);
        if constexpr (Q == 0)
            write16(a, pair_get<0, P, false>(z));
        else
            pair_set<0, P, false>(z, read16(c, a));
    } else if constexpr (N == 0x44) {
        uint8_t a = z.A;
        z.A = 0;
        alu<2>(z, a);
    } else if constexpr (N == 0x45) {
        z.iff = uint8_t((z.iff & ~IFF_1) | ((z.iff & IFF_2) ? IFF_1 : 0));
        z.PC = pop(c);
    } else if constexpr (N == 0x4D) {
        z.PC = pop(c);
    } else if constexpr (N == 0x46 || N == 0x56 || N == 0x5E) {
        z.iff = uint8_t((z.iff & ~(IFF_IM1 | IFF_IM2)) | (N == 0x56 ? IFF_IM1 : N == 0x5E ? IFF_IM2 : 0));
    } else if constexpr (N == 0x47) {
        z.I = z.A;
    } else if constexpr (N == 0x4F) {
        // LD R,A: R is not a refresh counter here and keeps its value.
    } else if constexpr (N == 0x57 || N == 0x5F) {
        if constexpr (N == 0x57)
            z.A = z.I;
        else {
            z.R = uint8_t(z.R + 1);
            z.A = uint8_t(z.R - 1 - z.spare);
        }
        z.F = uint8_t(zs_table[z.A] | ((z.iff & IFF_1) ? FLAG_PV : 0) | (z.F & FLAG_C));
    } else if constexpr (N == 0x67 || N == 0x6F) {
        uint16_t a = z.HL;
        uint8_t m = read(c, a);
        if constexpr (N == 0x67) {
            cpu_write(a, uint8_t(z.A << 4 | m >> 4));
            z.A = uint8_t((z.A & 0xF0) | (m & 0x0F));
        } else {
            cpu_write(a, uint8_t(m << 4 | (z.A & 0x0F)));
            z.A = uint8_t((z.A & 0xF0) | (m >> 4));
        }
        z.F = uint8_t(pzs_table[z.A] | (z.F & FLAG_C));
    } else if constexpr (N >= 0xA0 && (N & 0xE4) == 0xA0) {
        constexpr int D = (N & 0x08) ? -1 : 1;
        constexpr bool REPEAT = (N & 0x10) != 0;
        if constexpr (R == 0)
            block_load<D, REPEAT>(c);
        else if constexpr (R == 1)
            block_compare<D, REPEAT>(c);
        else if constexpr (R == 2)
            block_io<D, REPEAT, false>(c);
        else
            block_io<D, REPEAT, true>(c);
    } else if constexpr (N == 0xED) {
        z.PC = uint16_t(z.PC - 1);
        zero_cost_step(c);
    } else if constexpr (N == 0xFE) {
        park(c);
        cpu_patch(c.home);
        unpark(c);
    } else if constexpr (cycles_ed[N] == 0) {
        zero_cost_step(c);
    }
}

template <class C> ALWAYS_INLINE void exec_ed(C& c) {
    switch (fetch(c)) {
#define ED_CASE(n)                                                                                           \
    case n:                                                                                                  \
        c.z.spare -= cycles_ed[n];                                                                           \
        ed_op<n>(c);                                                                                         \
        break;
        CASES256(ED_CASE)
#undef ED_CASE
    }
}

template <int M, class C> ALWAYS_INLINE void exec_index(C& c);

template <int M, int N, class C> ALWAYS_INLINE void op(C& c) {
    constexpr int X = N >> 6, Y = (N >> 3) & 7, R = N & 7, P = Y >> 1, Q = Y & 1;
    Regs& z = c.z;
    if constexpr (N == 0x76) {
        halt(c);
    } else if constexpr (X == 1) {
        // LD r,r'; with a memory operand, H and L stay H and L under DD and FD.
        if constexpr (R == 6)
            reg<0, Y>(z) = read(c, memory_operand<M>(c));
        else if constexpr (Y == 6) {
            uint16_t a = memory_operand<M>(c);
            cpu_write(a, reg<0, R>(z));
        } else if constexpr (Y != R)
            reg<M, Y>(z) = reg<M, R>(z);
    } else if constexpr (X == 2) {
        if constexpr (R == 6)
            alu<Y>(z, read(c, memory_operand<M>(c)));
        else
            alu<Y>(z, reg<M, R>(z));
    } else if constexpr (X == 0) {
        if constexpr (R == 0) {
            if constexpr (Y == 1) {
                uint16_t t = uint16_t(z.A << 8 | z.F);
                z.A = uint8_t(z.AF2 >> 8);
                z.F = uint8_t(z.AF2);
                z.AF2 = t;
            } else if constexpr (Y == 2) {
                z.BC = uint16_t(z.BC - 0x100);
                if (z.BC >= 0x100) {
                    charge_taken<M>(c, 5);
                    relative_jump(c);
                } else {
                    z.PC = uint16_t(z.PC + 1);
                }
            } else if constexpr (Y == 3) {
                relative_jump(c);
            } else if constexpr (Y >= 4) {
                if (condition<Y - 4>(z.F)) {
                    charge_taken<M>(c, 5);
                    relative_jump(c);
                } else {
                    z.PC = uint16_t(z.PC + 1);
                }
            }
        } else if constexpr (R == 1) {
            if constexpr (Q == 0)
                pair_set<M, P, false>(z, fetch16(c));
            else
                index_pair<M>(z) = add16(z, index_pair<M>(z), pair_get<M, P, false>(z));
        } else if constexpr (R == 2) {
            if constexpr (P == 0 || P == 1) {
                uint16_t a = P == 0 ? z.BC : z.DE;
                if constexpr (Q == 0)
                    cpu_write(a, z.A);
                else
                    z.A = read(c, a);
            } else {
                uint16_t a = fetch16(c);
                if constexpr (P == 2 && Q == 0)
                    write16(a, index_pair<M>(z));
                else if constexpr (P == 2)
                    index_pair<M>(z) = read16(c, a);
                else if constexpr (Q == 0)
                    cpu_write(a, z.A);
                else
                    z.A = read(c, a);
            }
        } else if constexpr (R == 3) {
            pair_set<M, P, false>(z, uint16_t(pair_get<M, P, false>(z) + (Q ? -1 : 1)));
        } else if constexpr (R == 4 || R == 5) {
            if constexpr (Y == 6) {
                uint16_t a = memory_operand<M>(c);
                uint8_t v = read(c, a);
                cpu_write(a, R == 4 ? inc8(z, v) : dec8(z, v));
            } else {
                auto&& r = reg<M, Y>(z);
                r = R == 4 ? inc8(z, r) : dec8(z, r);
            }
        } else if constexpr (R == 6) {
            if constexpr (Y == 6) {
                uint16_t a = memory_operand<M>(c);
                cpu_write(a, fetch(c));
            } else {
                reg<M, Y>(z) = fetch(c);
            }
        } else {
            uint8_t a = z.A, f = z.F;
            if constexpr (Y == 0) {
                z.A = uint8_t(a << 1 | a >> 7);
                z.F = uint8_t((f & 0xEC) | a >> 7);
            } else if constexpr (Y == 1) {
                z.A = uint8_t(a >> 1 | a << 7);
                z.F = uint8_t((f & 0xEC) | (a & 1));
            } else if constexpr (Y == 2) {
                z.A = uint8_t(a << 1 | (f & 1));
                z.F = uint8_t((f & 0xEC) | a >> 7);
            } else if constexpr (Y == 3) {
                z.A = uint8_t(a >> 1 | (f & 1) << 7);
                z.F = uint8_t((f & 0xEC) | (a & 1));
            } else if constexpr (Y == 4) {
                uint16_t v = daa_table[a | (f & FLAG_C) << 8 | (f & FLAG_H) << 5 | (f & FLAG_N) << 9];
                z.A = uint8_t(v >> 8);
                z.F = uint8_t(v);
            } else if constexpr (Y == 5) {
                z.A = uint8_t(~a);
                z.F = uint8_t(f | FLAG_H | FLAG_N);
            } else if constexpr (Y == 6)
                z.F = uint8_t((f & 0xED) | FLAG_C);
            else
                z.F = uint8_t(((f ^ FLAG_C) & 0xED) | ((f & FLAG_C) << 4));
        }
    } else {
        if constexpr (R == 0) {
            if (condition<Y>(z.F)) {
                charge_taken<M>(c, 6);
                z.PC = pop(c);
            }
        } else if constexpr (R == 1) {
            if constexpr (Q == 0)
                pair_set<M, P, true>(z, pop(c));
            else if constexpr (P == 0)
                z.PC = pop(c);
            else if constexpr (P == 1) {
                uint16_t t = z.BC;
                z.BC = z.BC2;
                z.BC2 = t;
                t = z.DE;
                z.DE = z.DE2;
                z.DE2 = t;
                t = z.HL;
                z.HL = z.HL2;
                z.HL2 = t;
            } else if constexpr (P == 2)
                z.PC = index_pair<M>(z);
            else
                z.SP = index_pair<M>(z);
        } else if constexpr (R == 2) {
            uint16_t a = fetch16(c);
            if (condition<Y>(z.F)) z.PC = a;
        } else if constexpr (R == 3) {
            if constexpr (Y == 0)
                z.PC = fetch16(c);
            else if constexpr (Y == 1) {
                if constexpr (M == 0)
                    exec_cb(c);
                else
                    exec_index_cb<M>(c);
            } else if constexpr (Y == 2)
                cpu_out(fetch(c), z.A);
            else if constexpr (Y == 3)
                z.A = cpu_in(fetch(c));
            else if constexpr (Y == 4) {
                uint16_t& p = index_pair<M>(z);
                uint8_t lo = read(c, z.SP);
                cpu_write(z.SP, uint8_t(p));
                uint16_t up = uint16_t(z.SP + 1);
                uint8_t hi = read(c, up);
                cpu_write(up, uint8_t(p >> 8));
                p = uint16_t(hi << 8 | lo);
            } else if constexpr (Y == 5) {
                uint16_t t = z.DE;
                z.DE = z.HL;
                z.HL = t;
            } else if constexpr (Y == 6)
                z.iff &= uint8_t(~IFF_1);
            else
                enable_interrupts(c);
        } else if constexpr (R == 4) {
            uint16_t a = fetch16(c);
            if (condition<Y>(z.F)) {
                charge_taken<M>(c, 7);
                push(c, z.PC);
                z.PC = a;
            }
        } else if constexpr (R == 5) {
            if constexpr (Q == 0)
                push(c, pair_get<M, P, true>(z));
            else if constexpr (P == 0) {
                uint16_t a = fetch16(c);
                push(c, z.PC);
                z.PC = a;
            } else if constexpr (P == 2) {
                // ED: its own set; under DD or FD the ED byte is dropped.
                if constexpr (M == 0) exec_ed(c);
            } else {
                // DD, FD: under another index prefix, the run loop starts again at this byte.
                if constexpr (M == 0)
                    exec_index<P == 1 ? 1 : 2>(c);
                else
                    z.PC = uint16_t(z.PC - 1);
            }
        } else if constexpr (R == 6) {
            alu<Y>(z, fetch(c));
        } else {
            push(c, z.PC);
            z.PC = uint16_t(Y * 8);
        }
    }
}

// Each case charges its own cost, a constant of its opcode, instead of looking it up.
template <int M, int N, class C> ALWAYS_INLINE void index_op(C& c) {
    c.z.spare -= cycles_index[N];
    if constexpr (cycles_index[N] == 0 && N != 0xCB) zero_cost_step(c);
    op<M, N>(c);
}

template <int M, class C> ALWAYS_INLINE void exec_index(C& c) {
    switch (fetch(c)) {
#define INDEX_CASE(n)                                                                                        \
    case n: index_op<M, n>(c); break;
        CASES256(INDEX_CASE)
#undef INDEX_CASE
    }
}

// Charges after the work where the work does not look at the budget, so that the host tests
// the budget straight from the subtraction.
template <int N, class C> ALWAYS_INLINE void main_op(C& c) {
    constexpr bool LOOKS = N == 0x76 || N == 0xFB || N == 0xCB || N == 0xDD || N == 0xED || N == 0xFD;
    if constexpr (LOOKS) c.z.spare -= cycles_main[N];
    op<0, N>(c);
    if constexpr (!LOOKS) c.z.spare -= cycles_main[N];
}

// Accepts an interrupt; `read` reads the IM 2 vector's two bytes from the address space.
template <class Read> ALWAYS_INLINE void accept_interrupt(Z80State* s, uint16_t vector, Read read) {
    if (vector != HOOK_NMI && !(s->iff & IFF_1)) return;
    s->iff = uint8_t((s->iff & ~(IFF_1 | IFF_2 | IFF_AFTER_EI)) | ((s->iff & IFF_1) ? IFF_2 : 0));
    if (s->iff & IFF_HALTED) {
        s->PC = uint16_t(s->PC + 1);
        s->iff &= uint8_t(~IFF_HALTED);
    }
    s->SP = uint16_t(s->SP - 1);
    cpu_write(s->SP, uint8_t(s->PC >> 8));
    s->SP = uint16_t(s->SP - 1);
    cpu_write(s->SP, uint8_t(s->PC));
    if (s->irq_auto_reset && s->irq_request == vector) s->irq_request = HOOK_NONE;
    if (vector == HOOK_NMI) {
        s->PC = HOOK_NMI;
    } else if (s->iff & IFF_IM2) {
        uint16_t t = uint16_t(s->I << 8 | (vector & 0xFF));
        uint8_t lo = read(t);
        s->PC = uint16_t(lo | read(uint16_t(t + 1)) << 8);
    } else if (s->iff & IFF_IM1) {
        s->PC = 0x0038;
    } else {
        s->PC = vector;
    }
}

template <bool BANKED> uint16_t run(Z80State* s, Z80Banks* banks) {
    Core<BANKED> c{{}, cpu_memory, s, 0, 0, {}};
    load_state(c.z, *s);
    if constexpr (BANKED) {
        c.space.banks = banks;
        show_bank(c.space, banks->bank);
    }
    for (;;) {
        for (;;) {
            switch (fetch(c)) {
#define MAIN_CASE(n)                                                                                         \
    case n:                                                                                                  \
        main_op<n>(c);                                                                                       \
        if (c.z.spare >= 0) continue;                                                                        \
        goto slice_end;
                CASES256(MAIN_CASE)
#undef MAIN_CASE
            }
        }
    slice_end:

        uint16_t vector;
        c.zero_run = 0;
        if (c.z.iff & IFF_AFTER_EI) {
            vector = c.z.irq_request;
            c.z.iff &= uint8_t(~IFF_AFTER_EI);
            c.z.spare += c.z.cycles_saved - 1;
        } else {
            park(c);
            vector = cpu_hook(s);
            unpark(c);
            c.z.spare = c.z.cycle_period - 1;
        }
        if (vector == HOOK_STOP) {
            park(c);
            return s->PC;
        }
        if (vector != HOOK_NONE) {
            park(c);
            if constexpr (BANKED)
                accept_interrupt(s, vector, [&c](uint16_t a) { return read(c, a); });
            else
                cpu_interrupt(s, vector);
            unpark(c);
        }
    }
}

} // namespace

void cpu_reset(Z80State* s) {
    s->PC = 0x0000;
    s->SP = 0xF000;
    s->AF = s->BC = s->DE = s->HL = s->IX = s->IY = Z80Pair{0, 0};
    s->AF2 = s->BC2 = s->DE2 = s->HL2 = Z80Pair{0, 0};
    s->I = 0;
    s->iff = 0;
    s->cycles_left = s->cycle_period;
    s->irq_request = HOOK_NONE;
}

void cpu_interrupt(Z80State* s, uint16_t vector) {
    accept_interrupt(s, vector, [](uint16_t a) { return cpu_memory[a]; });
}

uint16_t cpu_run(Z80State* s) { return run<false>(s, nullptr); }

uint16_t cpu_run_banked(Z80State* s, Z80Banks* banks) { return run<true>(s, banks); }
