// The mixer: square waves and noise from 32-bit phase accumulators, summed per sample and
// converted to the sound device's words. mixer_set_channel and mixer_reset run on the emulation
// thread, audio_fill and mixer_generate on the audio thread.
#include "platform/platform.h"
#include "sound/psg.h"

#include <cstring>

SoundMixer mixer = {{}, {}, {}, {MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_NOISE},
                    1,  {}};

namespace {

// A frequency in 1/256 Hz takes one period per 2^32 of phase, so the step is f x 2^24 / 44100,
// taken as (f x STEP_MULTIPLIER) >> 32 with the multiplier 2^56 / 44100 rounded up: no division
// on the handheld, and below half the sample rate the product fits in 64 bits.
constexpr uint64_t STEP_MULTIPLIER = ((uint64_t(1) << 56) + MIXER_SAMPLE_RATE - 1) / MIXER_SAMPLE_RATE;
constexpr int32_t MAX_STEP_FREQUENCY = MIXER_SAMPLE_RATE / 2 * PSG_FREQUENCY_SCALE;
constexpr uint32_t HALF_WAVE = 0x80000000u;

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
        uint32_t next = phase + step; // wraps at the end of each period
        // The half-wave edges fall between samples: a sample whose phase crosses one adds nothing.
        if (((phase | next) & HALF_WAVE) == 0)
            buf[i] = int16_t(buf[i] + v);
        else if ((phase & next & HALF_WAVE) != 0)
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
        uint32_t next = phase + step;
        if (next < phase) state = noise_step(state); // the phase wrapped: one shift
        phase = next;
    }
    *phase_word = phase;
    mixer.noise_state = state;
}

} // namespace

uint32_t mixer_phase_step(int32_t frequency) {
    if (frequency <= 0 || frequency > MAX_STEP_FREQUENCY) return 0;
    return uint32_t((uint64_t(uint32_t(frequency)) * STEP_MULTIPLIER) >> 32);
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
        uint32_t step = mixer_phase_step(f);
        if (step == 0 || v == 0) continue;
        // No louder than full level, so that four channels never overflow the 16-bit sums.
        if (v > PSG_FULL_LEVEL) v = PSG_FULL_LEVEL;
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
