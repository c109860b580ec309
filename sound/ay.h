// The Super Game Module's second sound chip, an AY-3-8910, in two layers like the first chip
// (sound/psg.h). The register file runs on the emulation thread: the port map selects a register
// (ay_select, port 0x50), writes it (ay_write, 0x51) and reads it back (ay_read, 0x52); the
// loader clears it for every game (ay_reset); each register keeps only the bits the chip has, so
// a read returns the value written with the unused bits cleared. At every frame end the frame
// driver hands the registers to the mixer (ay_flush), as the first chip's changes are handed over.
// On the audio thread the mixer renders the chip from them (ay_render): three square-wave tones,
// the noise register they share, the envelope generator and the chip's logarithmic levels, every
// change a band-limited step (sound/blep.h). AyVoices is that generator's whole state.
#pragma once
#include <cstdint>

#include "sound/blep.h"

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

// A channel's output swings between 0 and its level: 3 dB quieter per step, 0 silent. Full level
// is twice the first chip's (sound/psg.h), so that a square wave of either chip at full level is
// equally loud.
constexpr int32_t AY_LEVEL[16] = {0,   43,  61,  87,   122,  173,  244,  345,
                                  487, 687, 971, 1371, 1937, 2736, 3865, 5460};

struct AyState {
    uint8_t reg[AY_REGISTERS];
    uint8_t selected;           // the register the next write or read names
    uint16_t envelope_restarts; // counts the writes to the shape register, each a restart
};

extern AyState ay;

void ay_reset(AyState* s);
// A register number outside 0..15 selects nothing: writes are ignored, reads answer 0xFF.
void ay_select(AyState* s, uint8_t number);
void ay_write(AyState* s, uint8_t value);
uint8_t ay_read(const AyState* s);

// The words the mixer receives: registers 0..13 four to a word, lowest first, and the restart
// count in the top half of the last.
constexpr uint32_t AY_SHARED_WORDS = 4;

// Hands the registers to the mixer (the frame driver calls it at every frame end).
void ay_flush(const AyState* s);

// The generator's state on the audio thread; all zero is the state after a reset. Times are 16.16
// samples from the start of the fill.
struct AyVoices {
    uint32_t tone_next[3];     // the channel's next edge
    uint32_t tone_interval[3]; // its half-wave
    uint16_t tone_period[3];   // the period the interval was made from; 0 = not made yet
    uint8_t tone_high[3];      // 1 in the upper half-wave
    int32_t output[3];         // what the channel adds to the mix now
    uint32_t noise_next, noise_interval;
    uint32_t noise_state; // the 17-bit noise register; bit 0 is the noise (0 stands for its start, 1)
    uint16_t noise_period;
    uint16_t envelope_period;
    uint32_t envelope_next, envelope_interval;
    uint8_t envelope_shape, envelope_step, envelope_level;
    uint8_t envelope_attack;  // 1 while the level rises
    uint8_t envelope_running; // 0 once the shape has come to rest, and before the first shape
    uint16_t envelope_restarts; // the last restart count acted on
};

void ay_voices_reset(AyVoices* v);
// Adds `count` samples of the chip's sound, as the registers in `words` set it, to the buffer.
void ay_render(AyVoices* v, const uint32_t words[AY_SHARED_WORDS], BlepBuffer* b, uint32_t count);
