// The sound chip's register layer: latch, data, attenuation and noise control bytes become
// channel frequencies and levels, delivered to the mixer at once or once per frame.
#include "sound/psg.h"

#include <array>

PsgState psg;

namespace {

// Every period's frequency, rounded to 1/256 Hz, so that a data byte costs no division on the
// handheld.
constexpr std::array<int32_t, 1024> tone_frequency_table = [] {
    std::array<int32_t, 1024> t{};
    constexpr uint32_t clock_units = uint32_t(PSG_CLOCK_HZ) * (PSG_FREQUENCY_SCALE / 32);
    for (uint32_t n = 1; n < 1024; ++n) {
        int32_t f = int32_t((clock_units + n / 2) / n);
        t[n] = f > PSG_MAX_FREQUENCY ? 0 : f;
    }
    return t;
}();

// The level word the mixer receives: the noise channel's carries the feedback bit.
int32_t delivered_volume(const PsgState* s, int ch) {
    return ch == 3 && (s->noise_mode & 4) ? s->volume[ch] | PSG_NOISE_WHITE : s->volume[ch];
}

void notify(PsgState* s, int ch) {
    if (s->defer_mode == 0) {
        if (s->channel_update) s->channel_update(ch, s->frequency[ch], delivered_volume(s, ch));
    } else {
        s->pending_mask = uint8_t(s->pending_mask | (1u << ch));
    }
}

void write_data(PsgState* s, uint8_t v) {
    if ((s->latched_byte & 0xC0) == 0) return; // no tone latch since psg_init
    uint32_t period = (s->latched_byte & 0x0Fu) | (uint32_t(v & 0x3F) << 4);
    int32_t f = tone_frequency_table[period];
    int ch = (s->latched_byte - 0x80) >> 5;
    if (f == s->frequency[ch]) return;
    if (ch == 2 && (s->noise_mode & 3) == 3) {
        s->frequency[3] = f;
        notify(s, 3);
    }
    s->frequency[ch] = f;
    notify(s, ch);
}

} // namespace

int32_t psg_tone_frequency(uint32_t period) { return tone_frequency_table[period & 0x3FF]; }

void psg_init(PsgState* s, PsgChannelUpdate callback) {
    *s = PsgState{};
    // Noise rate 0 is already selected, so a game's first noise byte choosing it changes nothing:
    // the channel needs that rate's frequency from the start. Its level is 0, so nothing sounds.
    s->frequency[3] = PSG_NOISE_FREQUENCY[0];
    s->channel_update = callback;
}

void psg_write(PsgState* s, uint8_t v) {
    switch (v & 0xF0) {
    case 0x80:
    case 0xA0:
    case 0xC0: s->latched_byte = v; break;
    case 0x90:
    case 0xB0:
    case 0xD0:
    case 0xF0: {
        int ch = (v - 0x90) >> 5;
        int32_t level = PSG_LEVEL[v & 0x0F];
        if (level == s->volume[ch]) return;
        s->volume[ch] = level;
        notify(s, ch);
        break;
    }
    case 0xE0: {
        // Bit 2 chooses white noise (set) or periodic noise (clear); the mixer receives it with
        // the channel's level.
        uint8_t mode = v & 7, rate = v & 3;
        if (mode == s->noise_mode) return;
        s->noise_mode = mode;
        s->frequency[3] = rate == 3 ? s->frequency[2] : PSG_NOISE_FREQUENCY[rate];
        notify(s, 3);
        break;
    }
    default: write_data(s, v); break;
    }
}

void psg_flush(PsgState* s, uint8_t mode) {
    if (s->defer_mode != 0 && s->pending_mask != 0 && s->channel_update) {
        for (int ch = 0; ch < 4; ++ch)
            if (s->pending_mask & (1u << ch)) s->channel_update(ch, s->frequency[ch], delivered_volume(s, ch));
    }
    s->pending_mask = 0;
    if (mode != PSG_FLUSH_ONLY) s->defer_mode = mode;
}
