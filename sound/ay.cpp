// The AY-3-8910's register file.
#include "sound/ay.h"

AyState ay;

void ay_reset(AyState* s) { *s = AyState{}; }

void ay_select(AyState* s, uint8_t number) { s->selected = number; }

void ay_write(AyState* s, uint8_t value) {
    if (s->selected >= AY_REGISTERS) return;
    s->reg[s->selected] = uint8_t(value & AY_REGISTER_MASK[s->selected]);
}

uint8_t ay_read(const AyState* s) { return s->selected < AY_REGISTERS ? s->reg[s->selected] : 0xFF; }
