// The mixer: square waves and noise from 16-bit phase accumulators, summed per sample and
// converted to the sound device's words. mixer_set_channel and mixer_reset run on the emulation
// thread, audio_fill and mixer_generate on the audio thread.
#include "platform/platform.h"
#include "sound/psg.h"

#include <cstring>

SoundMixer mixer = {{}, {}, {}, {MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_NOISE},
                    1,  {}};

namespace {

// 2^48 / 44100 rounded up: (f x STEP_MULTIPLIER) >> 32 equals 65536 x f / 44100 rounded down for
// every f below 389000, well past any frequency the chip produces.
constexpr uint64_t STEP_MULTIPLIER = ((uint64_t(1) << 48) + MIXER_SAMPLE_RATE - 1) / MIXER_SAMPLE_RATE;

// The noise register: 15 bits, shifted right once each time the noise phase wraps, with bit 0
// XOR bit 1 fed back into bit 14. This is the white-noise register of this family of chips; it
// runs through all 32767 nonzero states before it repeats, so the channel hisses instead of
// humming, and bit 0 gives the sign of the channel's output.
constexpr uint32_t NOISE_MASK = 0x7FFF;

constexpr uint32_t noise_step(uint32_t state) {
    uint32_t feedback = (state ^ (state >> 1)) & 1;
    return (state >> 1) | (feedback << 14);
}

void add_square(int16_t* buf, uint32_t count, uint32_t* phase_word, uint32_t step, int32_t v) {
    uint32_t phase = *phase_word;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t next = (phase + step) & 0xFFFF;
        // The half-wave edges fall between samples: a sample whose phase crosses one adds nothing.
        if (((phase | next) & 0x8000) == 0)
            buf[i] = int16_t(buf[i] + v);
        else if ((phase & next & 0x8000) != 0)
            buf[i] = int16_t(buf[i] - v);
        phase = next;
    }
    *phase_word = phase;
}

void add_noise(int16_t* buf, uint32_t count, uint32_t* phase_word, uint32_t step, int32_t v) {
    uint32_t phase = *phase_word;
    uint32_t state = mixer.noise_state & NOISE_MASK;
    if (state == 0) state = 1; // an all-zero register would stay silent for ever
    for (uint32_t i = 0; i < count; ++i) {
        buf[i] = int16_t(buf[i] + ((state & 1) ? -v : v));
        phase += step;
        if (phase > 0xFFFF) {
            phase &= 0xFFFF;
            state = noise_step(state);
        }
    }
    *phase_word = phase;
    mixer.noise_state = state;
}

} // namespace

uint32_t mixer_phase_step(int32_t frequency) {
    if (frequency <= 0) return 0;
    return uint32_t((uint64_t(uint32_t(frequency)) * STEP_MULTIPLIER) >> 32) & 0xFFFF;
}

void mixer_set_channel(int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0 || channel > 3) return;
    mixer.channel_frequency[channel].store(frequency, std::memory_order_relaxed);
    mixer.channel_volume[channel].store(volume, std::memory_order_relaxed);
}

void mixer_generate(uint32_t count) {
    if (count > MIXER_BUFFER_SAMPLES) count = MIXER_BUFFER_SAMPLES;
    int16_t* buf = mixer.mix_buffer;
    std::memset(buf, 0, count * sizeof buf[0]);
    for (int ch = 0; ch < 4; ++ch) {
        // Each word is read once per fill: a change made meanwhile is heard from the next fill.
        int32_t f = mixer.channel_frequency[ch].load(std::memory_order_relaxed);
        int32_t v = mixer.channel_volume[ch].load(std::memory_order_relaxed) & 0xFFFF;
        if (f <= 0 || v == 0) continue;
        uint32_t step = mixer_phase_step(f);
        if (mixer.channel_type[ch] == MIXER_TYPE_SQUARE)
            add_square(buf, count, &mixer.channel_phase[ch], step, v);
        else if (mixer.channel_type[ch] == MIXER_TYPE_NOISE)
            add_noise(buf, count, &mixer.channel_phase[ch], step, v);
    }
    for (uint32_t i = 0; i < count; ++i) buf[i] = int16_t(mixer_output_word(buf[i]));
}

void audio_fill(void*, uint8_t* destination, uint32_t count) {
    // Renders in pieces of the work buffer's size, so that every frame of the chunk is rendered
    // whatever count the device asks for. Each word goes to both sides, low byte first.
    while (count > 0) {
        uint32_t n = count < MIXER_BUFFER_SAMPLES ? count : MIXER_BUFFER_SAMPLES;
        mixer_generate(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint16_t w = uint16_t(mixer.mix_buffer[i]);
            uint8_t lo = uint8_t(w & 0xFF), hi = uint8_t(w >> 8);
            destination[0] = lo;
            destination[1] = hi;
            destination[2] = lo;
            destination[3] = hi;
            destination += 4;
        }
        count -= n;
    }
}

void mixer_reset() {
    std::memset(mixer.mix_buffer, 0, sizeof mixer.mix_buffer);
    mixer.noise_state = 1;
    for (int ch = 0; ch < 4; ++ch) {
        mixer.channel_frequency[ch].store(0, std::memory_order_relaxed);
        mixer.channel_volume[ch].store(0, std::memory_order_relaxed);
        mixer.channel_phase[ch] = 0;
    }
}
