// The Super Game Module's second sound chip, an AY-3-8910, as a register file: the port map
// selects a register (ay_select, port 0x50), writes it (ay_write, 0x51) and reads it back
// (ay_read, 0x52); the loader clears it for every game (ay_reset). Each register keeps only the
// bits the chip has, so a read returns the value written with the unused bits cleared. The chip
// runs on the emulation thread; turning the registers into sound is the sound code's business.
#pragma once
#include <cstdint>

constexpr uint8_t AY_REGISTERS = 16;
// The chip's clock: the console's 3,579,545 Hz halved.
constexpr int32_t AY_CLOCK_HZ = 3579545 / 2;

// Register numbers.
constexpr uint8_t AY_TONE_A_FINE = 0;  // tone periods: fine byte, then a 4-bit coarse one
constexpr uint8_t AY_NOISE_PERIOD = 6; // 5 bits
constexpr uint8_t AY_MIXER = 7;        // bits 0-2 tone off, 3-5 noise off, 6-7 port directions
constexpr uint8_t AY_LEVEL_A = 8;      // bits 0-3 level, bit 4 the envelope's level instead
constexpr uint8_t AY_ENVELOPE_FINE = 11;
constexpr uint8_t AY_ENVELOPE_COARSE = 12;
constexpr uint8_t AY_ENVELOPE_SHAPE = 13; // CONTINUE, ATTACK, ALTERNATE, HOLD in bits 3..0

// The bits each register keeps.
constexpr uint8_t AY_REGISTER_MASK[AY_REGISTERS] = {0xFF, 0x0F, 0xFF, 0x0F, 0xFF, 0x0F, 0x1F, 0xFF,
                                                    0x1F, 0x1F, 0x1F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF};

struct AyState {
    uint8_t reg[AY_REGISTERS];
    uint8_t selected; // the register the next write or read names
};

extern AyState ay;

void ay_reset(AyState* s);
// A register number outside 0..15 selects nothing: writes are ignored, reads answer 0xFF.
void ay_select(AyState* s, uint8_t number);
void ay_write(AyState* s, uint8_t value);
uint8_t ay_read(const AyState* s);
