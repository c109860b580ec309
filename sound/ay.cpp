// The AY-3-8910: its register file on the emulation thread, its generator on the audio thread.
#include "sound/ay.h"

#include "sound/psg.h"

AyState ay;

void ay_reset(AyState* s) { *s = AyState{}; }

void ay_select(AyState* s, uint8_t number) { s->selected = number; }

void ay_write(AyState* s, uint8_t value) {
    if (s->selected >= AY_REGISTERS) return;
    s->reg[s->selected] = uint8_t(value & AY_REGISTER_MASK[s->selected]);
    if (s->selected == AY_ENVELOPE_SHAPE) ++s->envelope_restarts;
}

uint8_t ay_read(const AyState* s) { return s->selected < AY_REGISTERS ? s->reg[s->selected] : 0xFF; }

void ay_flush(const AyState* s) {
    for (uint32_t w = 0; w < AY_SHARED_WORDS; ++w) {
        const uint8_t* r = s->reg + 4 * w;
        uint32_t word = w + 1 < AY_SHARED_WORDS
                            ? uint32_t(r[0]) | uint32_t(r[1]) << 8 | uint32_t(r[2]) << 16 | uint32_t(r[3]) << 24
                            : uint32_t(r[0]) | uint32_t(r[1]) << 8 | uint32_t(s->envelope_restarts) << 16;
        mixer.ay_words[w].store(word, std::memory_order_relaxed);
    }
}

namespace {

// 16.16 samples per chip clock, times 2^32: 44100 x 2^48 / 1,789,772.5. A 64-bit product keeps
// every period's length within a billionth of the exact one.
constexpr uint64_t TIME_PER_CLOCK = 6935544306855;
constexpr uint32_t NEVER = 0xFFFFFFFFu;

uint32_t clocks_to_time(uint32_t clocks) { return uint32_t((uint64_t(clocks) * TIME_PER_CLOCK) >> 32); }

// What one fill takes from the registers.
struct Setting {
    uint8_t reg[14];
    uint8_t tone_gate[3];  // 2: the tone is off, the channel passes; 1: the tone is above hearing
                           // and passes half of the time; 0: the tone's edges count
    uint8_t noise_on[3];
    uint8_t envelope_on[3];
    uint8_t fast_noise, fast_envelope; // changes faster than the samples: on sample boundaries
};

int32_t channel_output(const AyVoices* v, const Setting& s, int c) {
    int32_t level = s.envelope_on[c] ? AY_LEVEL[v->envelope_level] : AY_LEVEL[s.reg[AY_LEVEL_A + c] & 15];
    int32_t tone = s.tone_gate[c] ? s.tone_gate[c] : 2 * v->tone_high[c];
    int32_t noise = s.noise_on[c] ? 2 * int32_t(v->noise_state & 1) : 2;
    return (level * tone * noise) >> 2;
}

// Brings channel c's output to what its state now gives, as a step at `time`.
void settle(AyVoices* v, const Setting& s, BlepBuffer* b, int c, uint32_t time, bool fast) {
    int32_t now = channel_output(v, s, c);
    if (now == v->output[c]) return;
    if (fast)
        blep_direct(b, blep_boundary_after(time), now - v->output[c]);
    else
        blep_step(b, time, now - v->output[c]);
    v->output[c] = now;
}

void envelope_start(AyVoices* v, uint8_t shape) {
    v->envelope_shape = shape;
    v->envelope_step = 0;
    v->envelope_attack = (shape & 4) ? 1 : 0;
    v->envelope_running = 1;
    v->envelope_level = v->envelope_attack ? 0 : 15;
}

// `steps` steps of the envelope at once.
void envelope_advance(AyVoices* v, uint32_t steps) {
    if (!v->envelope_running || steps == 0) return;
    uint32_t position = v->envelope_step + steps;
    if (position < 16) {
        v->envelope_step = uint8_t(position);
        v->envelope_level = uint8_t(v->envelope_attack ? position : 15 - position);
        return;
    }
    // The first cycle is over. Without CONTINUE the level rests at 0; with HOLD it rests at the
    // cycle's end, or at the other end with ALTERNATE; otherwise the cycles go on, each turning
    // round with ALTERNATE.
    uint8_t shape = v->envelope_shape;
    if (!(shape & 8) || (shape & 1)) {
        if (!(shape & 8)) v->envelope_attack = 0;
        else if (shape & 2) v->envelope_attack ^= 1;
        v->envelope_running = 0;
        v->envelope_step = 15;
        v->envelope_level = v->envelope_attack ? 15 : 0;
        return;
    }
    uint32_t cycles = position / 16;
    if (shape & 2) v->envelope_attack = uint8_t(v->envelope_attack ^ (cycles & 1));
    v->envelope_step = uint8_t(position % 16);
    v->envelope_level = uint8_t(v->envelope_attack ? v->envelope_step : 15 - v->envelope_step);
}

uint32_t noise_shift(uint32_t state) {
    uint32_t feedback = (state ^ (state >> 3)) & 1;
    return (state >> 1) | (feedback << 16);
}

// Takes the fill's registers: the periods' lengths (made again only when a period changed),
// the envelope's restart, and what each channel lets through.
Setting take_registers(AyVoices* v, const uint32_t words[AY_SHARED_WORDS]) {
    Setting s{};
    for (uint32_t i = 0; i < 14; ++i) s.reg[i] = uint8_t(words[i / 4] >> (8 * (i % 4)));
    uint16_t restarts = uint16_t(words[3] >> 16);
    for (int c = 0; c < 3; ++c) {
        uint16_t period = uint16_t(s.reg[2 * c] | (s.reg[2 * c + 1] & 0x0F) << 8);
        if (period == 0) period = 1;
        if (period != v->tone_period[c]) {
            v->tone_period[c] = period;
            v->tone_interval[c] = clocks_to_time(8u * period);
            // A shorter period cuts the half-wave under way short, as the chip's counter does.
            if (v->tone_next[c] > v->tone_interval[c]) v->tone_next[c] = v->tone_interval[c];
        }
        uint8_t mix = s.reg[AY_MIXER];
        s.tone_gate[c] = (mix >> c) & 1 ? 2 : v->tone_interval[c] < BLEP_SAMPLE ? 1 : 0;
        s.noise_on[c] = ((mix >> (3 + c)) & 1) ? 0 : 1;
        s.envelope_on[c] = (s.reg[AY_LEVEL_A + c] & 0x10) ? 1 : 0;
    }
    uint16_t noise = uint16_t(s.reg[AY_NOISE_PERIOD] ? s.reg[AY_NOISE_PERIOD] : 1);
    if (noise != v->noise_period) {
        v->noise_period = noise;
        v->noise_interval = clocks_to_time(16u * noise);
        if (v->noise_next > v->noise_interval) v->noise_next = v->noise_interval;
    }
    uint16_t envelope = uint16_t(s.reg[AY_ENVELOPE_FINE] | s.reg[AY_ENVELOPE_COARSE] << 8);
    if (envelope == 0) envelope = 1;
    if (envelope != v->envelope_period) {
        v->envelope_period = envelope;
        v->envelope_interval = clocks_to_time(16u * envelope);
        if (v->envelope_next > v->envelope_interval) v->envelope_next = v->envelope_interval;
    }
    if (restarts != v->envelope_restarts) {
        v->envelope_restarts = restarts;
        envelope_start(v, s.reg[AY_ENVELOPE_SHAPE]);
        v->envelope_next = v->envelope_interval;
    }
    s.fast_noise = v->noise_interval < BLEP_SAMPLE;
    s.fast_envelope = v->envelope_interval < BLEP_SAMPLE;
    return s;
}

// Shifts the noise register up to `until`, with every change the channels it reaches hear. Each
// of those channels swings between two outputs meanwhile, all at once, so a change is one step of
// their summed swing.
void noise_run(AyVoices* v, const Setting& s, BlepBuffer* b, uint32_t until) {
    int32_t when_set = 0, when_clear = 0;
    uint32_t state = v->noise_state;
    for (int c = 0; c < 3; ++c) {
        if (!s.noise_on[c]) continue;
        v->noise_state = 1;
        int32_t set = channel_output(v, s, c);
        v->noise_state = 0;
        int32_t clear = channel_output(v, s, c);
        when_set += set;
        when_clear += clear;
    }
    // In locals, because the buffer's words could be the generator's own for all the compiler
    // knows: it would load them again after every step.
    const int32_t swing = when_set - when_clear;
    const uint32_t interval = v->noise_interval;
    uint32_t next = v->noise_next;
    if (s.fast_noise) {
        do {
            uint32_t before = state;
            state = noise_shift(state);
            if ((before ^ state) & 1) {
                blep_direct(b, blep_boundary_after(next), (state & 1) ? swing : -swing);
            }
            next += interval;
        } while (next < until);
    } else {
        do {
            uint32_t before = state;
            state = noise_shift(state);
            if ((before ^ state) & 1) {
                blep_step(b, next, (state & 1) ? swing : -swing);
            }
            next += interval;
        } while (next < until);
    }
    v->noise_state = state;
    v->noise_next = next;
    for (int c = 0; c < 3; ++c)
        if (s.noise_on[c]) v->output[c] = channel_output(v, s, c);
}

} // namespace

void ay_voices_reset(AyVoices* v) { *v = AyVoices{}; }

void ay_render(AyVoices* v, const uint32_t words[AY_SHARED_WORDS], BlepBuffer* b, uint32_t count) {
    Setting s = take_registers(v, words);
    if (v->noise_state == 0) v->noise_state = 1; // the register's start: all zero would stay silent
    const uint32_t end = count << 16;
    // Which sources can change what is heard: a channel's tone only while the channel can sound;
    // the noise while a sounding channel lets it through; the envelope while a channel uses it.
    bool tone_moves[3], noise_heard = false, envelope_heard = false;
    for (int c = 0; c < 3; ++c) {
        bool audible = s.envelope_on[c] || (s.reg[AY_LEVEL_A + c] & 15) != 0;
        tone_moves[c] = audible && s.tone_gate[c] == 0;
        noise_heard |= audible && s.noise_on[c];
        envelope_heard |= s.envelope_on[c] != 0;
        settle(v, s, b, c, 0, false); // new levels and mixer bits take effect at the fill's start
    }
    // An envelope nobody hears moves on in one go: it may be heard in a later fill.
    if (!envelope_heard && v->envelope_running && v->envelope_next < end) {
        uint32_t steps = (end - 1 - v->envelope_next) / v->envelope_interval + 1;
        envelope_advance(v, steps);
        v->envelope_next += steps * v->envelope_interval;
    }
    for (;;) {
        uint32_t t = NEVER;
        int source = -1; // 0..2 a tone, 3 the noise, 4 the envelope
        for (int c = 0; c < 3; ++c)
            if (tone_moves[c] && v->tone_next[c] < t) {
                t = v->tone_next[c];
                source = c;
            }
        if (noise_heard && v->noise_next < t) {
            t = v->noise_next;
            source = 3;
        }
        if (envelope_heard && v->envelope_running && v->envelope_next < t) {
            t = v->envelope_next;
            source = 4;
        }
        if (t >= end) break;
        if (source < 3) {
            v->tone_high[source] ^= 1;
            v->tone_next[source] += v->tone_interval[source];
            settle(v, s, b, source, t, false);
        } else if (source == 3) {
            // The noise alone until the next other change, which may be many shifts off: the
            // channels it reaches swing between two outputs meanwhile.
            uint32_t until = end;
            for (int c = 0; c < 3; ++c)
                if (tone_moves[c] && v->tone_next[c] < until) until = v->tone_next[c];
            if (envelope_heard && v->envelope_running && v->envelope_next < until) until = v->envelope_next;
            noise_run(v, s, b, until);
        } else {
            envelope_advance(v, 1);
            v->envelope_next += v->envelope_interval;
            for (int c = 0; c < 3; ++c)
                if (s.envelope_on[c]) settle(v, s, b, c, t, s.fast_envelope);
        }
    }
    // Sources nobody hears keep their place in the period; the times count from the next fill.
    for (int c = 0; c < 3; ++c) v->tone_next[c] = v->tone_next[c] > end ? v->tone_next[c] - end : 0;
    v->noise_next = v->noise_next > end ? v->noise_next - end : 0;
    v->envelope_next = v->envelope_next > end ? v->envelope_next - end : 0;
}
