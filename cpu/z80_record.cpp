// The processor's registers in the state record, field by field.
#include "cpu/z80.h"
#include "machine/record.h"

#include <initializer_list>

namespace {

// Cycle counts stay inside this: a slice is at most a frame (60,000 cycles), an instruction's
// overshoot a few dozen.
constexpr int32_t CYCLES_LIMIT = 1 << 17;

void save_pair(RecordWriter* w, Z80Pair p) {
    record_u8(w, p.lo);
    record_u8(w, p.hi);
}

Z80Pair load_pair(RecordReader* r) {
    Z80Pair p;
    p.lo = read_u8(r);
    p.hi = read_u8(r);
    return p;
}

} // namespace

void cpu_save(RecordWriter* w, const Z80State* s) {
    for (Z80Pair p : {s->AF, s->BC, s->DE, s->HL, s->IX, s->IY, s->AF2, s->BC2, s->DE2, s->HL2}) save_pair(w, p);
    record_u16(w, s->PC);
    record_u16(w, s->SP);
    record_u8(w, s->iff);
    record_u8(w, s->I);
    record_u8(w, s->R);
    record_i32(w, s->cycle_period);
    record_i32(w, s->cycles_left);
    record_i32(w, s->cycles_saved);
    record_u16(w, s->irq_request);
    record_u8(w, s->irq_auto_reset);
}

bool cpu_load(RecordReader* r, Z80State* into, bool commit) {
    Z80State s = *into;
    for (Z80Pair* p : {&s.AF, &s.BC, &s.DE, &s.HL, &s.IX, &s.IY, &s.AF2, &s.BC2, &s.DE2, &s.HL2})
        *p = load_pair(r);
    s.PC = read_u16(r);
    s.SP = read_u16(r);
    s.iff = read_u8(r);
    s.I = read_u8(r);
    s.R = read_u8(r);
    // A slice of a billion cycles would hold the program up for minutes.
    s.cycle_period = read_i32_within(r, 1, CYCLES_LIMIT);
    s.cycles_left = read_i32_within(r, -CYCLES_LIMIT, CYCLES_LIMIT);
    s.cycles_saved = read_i32_within(r, -CYCLES_LIMIT, CYCLES_LIMIT);
    s.irq_request = read_u16(r);
    s.irq_auto_reset = read_u8(r);
    if (r->ok && commit) *into = s;
    return r->ok;
}
