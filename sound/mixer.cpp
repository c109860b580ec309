// The mixer: the first chip's square waves and noise and the module's chip (sound/ay.cpp) as
// band-limited steps in one buffer, summed into the sound device's words. mixer_set_channel and
// mixer_reset run on the emulation thread, audio_fill and mixer_generate on the audio thread.
#include "platform/platform.h"
#include "sound/psg.h"

#include <cstring>

SoundMixer mixer = {{}, {}, {}, {MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_SQUARE, MIXER_TYPE_NOISE}, 1, 0, 0, {}, {}, {{}, BLEP_SUM_START}, {}};

namespace {

// Lengths are made by division only when a delivered frequency changes; a length over this
// (a frequency under a hundredth of a hertz) is taken as this.
constexpr uint32_t LONGEST = 1u << 30;

uint32_t samples_per(uint64_t units, int32_t frequency) {
    if (frequency <= 0) return 0;
    uint64_t t = units / uint32_t(frequency);
    return t > LONGEST ? LONGEST : uint32_t(t);
}

// The noise register: 15 bits, shifted right once per noise period, its bit 0 the channel's
// sign. White noise feeds bit 0 XOR bit 1 back into bit 14, so the register runs through all
// 32767 nonzero states before it repeats and the channel hisses; periodic noise feeds bit 0 back
// alone, so the single bit the register starts with comes round every 15 shifts: a buzz at the
// noise rate / 15.
constexpr uint32_t NOISE_MASK = 0x7FFF;

constexpr uint32_t noise_step(uint32_t state, bool white) {
    uint32_t feedback = white ? (state ^ (state >> 1)) & 1 : state & 1;
    return (state >> 1) | (feedback << 14);
}

// A new frequency keeps the channel's place, but no edge lies further off than the new length.
// Lengths are divisions, made only when the frequency has changed.
void take_frequency(PsgVoice* p, int32_t frequency, uint32_t length) {
    p->frequency = frequency;
    p->interval = length;
    if (p->next > length) p->next = length;
}

// Brings the channel to `target` at the fill's start; true if it is silent from there on.
bool start_fill(PsgVoice* p, BlepBuffer* b, int32_t target) {
    if (target != p->output) {
        blep_step(b, 0, target - p->output);
        p->output = target;
    }
    return target == 0;
}

// The times count from the next fill; a silent channel keeps its place in the period.
void end_fill(PsgVoice* p, uint32_t end) { p->next = p->next > end ? p->next - end : 0; }

void render_square(PsgVoice* p, BlepBuffer* b, int32_t frequency, int32_t level, uint32_t end) {
    if (frequency != p->frequency) take_frequency(p, frequency, mixer_half_wave(frequency));
    bool silent = start_fill(p, b, p->interval == 0 || level == 0 ? 0 : p->high ? level : -level);
    if (!silent) {
        while (p->next < end) {
            p->high ^= 1;
            int32_t now = p->high ? level : -level;
            blep_step(b, p->next, now - p->output);
            p->output = now;
            p->next += p->interval;
        }
    }
    end_fill(p, end);
}

void render_noise(PsgVoice* p, BlepBuffer* b, int32_t frequency, int32_t word, int32_t level, uint32_t end) {
    // A change of feedback starts the register afresh, as the chip does on a noise control write.
    uint32_t white = uint32_t(word & PSG_NOISE_WHITE);
    if (white != mixer.noise_white) {
        mixer.noise_white = white;
        mixer.noise_state = 1;
    }
    uint32_t state = mixer.noise_state & NOISE_MASK;
    if (state == 0) state = 1; // an all-zero register would stay silent for ever
    // 16.16 samples per shift: 44100 x 2^16 x 256 / frequency. The chip shifts at most twice a
    // sample; a delivered frequency far beyond that is taken as 16 shifts a sample, which bounds
    // a fill's work.
    if (frequency != p->frequency) {
        uint32_t length = samples_per(uint64_t(MIXER_SAMPLE_RATE) << 24, frequency);
        take_frequency(p, frequency, length != 0 && length < BLEP_SAMPLE / 16 ? BLEP_SAMPLE / 16 : length);
    }
    bool silent = start_fill(p, b, p->interval == 0 || level == 0 ? 0 : (state & 1) ? -level : level);
    if (!silent) {
        // A register shifted more often than the samples are made is heard on sample boundaries:
        // its aliases are noise among noise.
        bool fast = p->interval < BLEP_SAMPLE;
        while (p->next < end) {
            uint32_t before = state;
            state = noise_step(state, white != 0);
            if ((before ^ state) & 1) {
                int32_t now = (state & 1) ? -level : level;
                if (fast)
                    blep_direct(b, blep_boundary_after(p->next), now - p->output);
                else
                    blep_step(b, p->next, now - p->output);
                p->output = now;
            }
            p->next += p->interval;
        }
    }
    end_fill(p, end);
    mixer.noise_state = state;
}

} // namespace

uint32_t mixer_half_wave(int32_t frequency) {
    // 44100 x 2^16 / (2 x frequency / 256) 16.16 samples.
    uint32_t t = samples_per(uint64_t(MIXER_SAMPLE_RATE) << 23, frequency);
    return t < BLEP_SAMPLE ? 0 : t;
}

void mixer_set_channel(int32_t channel, int32_t frequency, int32_t volume) {
    if (channel < 0 || channel > 3) return;
    mixer.channel_frequency[channel].store(frequency, std::memory_order_relaxed);
    mixer.channel_volume[channel].store(volume, std::memory_order_relaxed);
}

namespace {

// Adds every channel's steps over the next `count` samples to the buffer.
void render(uint32_t count) {
    const uint32_t end = count << 16;
    for (int ch = 0; ch < 4; ++ch) {
        // Each word is read once per fill: a change made meanwhile is heard from the next fill.
        int32_t f = mixer.channel_frequency[ch].load(std::memory_order_relaxed);
        int32_t word = mixer.channel_volume[ch].load(std::memory_order_relaxed);
        int32_t v = word & 0xFFFF;
        // No louder than full level, so that the sum keeps within the 16-bit output.
        if (v > PSG_FULL_LEVEL) v = PSG_FULL_LEVEL;
        if (mixer.channel_type[ch] == MIXER_TYPE_SQUARE)
            render_square(&mixer.voice[ch], &mixer.blep, f, v, end);
        else if (mixer.channel_type[ch] == MIXER_TYPE_NOISE)
            render_noise(&mixer.voice[ch], &mixer.blep, f, word, v, end);
    }
    uint32_t words[AY_SHARED_WORDS];
    for (uint32_t w = 0; w < AY_SHARED_WORDS; ++w) words[w] = mixer.ay_words[w].load(std::memory_order_relaxed);
    ay_render(&mixer.ay, words, &mixer.blep, count);
    mixer.samples_made += count;
}

} // namespace

void mixer_generate(uint32_t count) {
    if (count > MIXER_BUFFER_SAMPLES) count = MIXER_BUFFER_SAMPLES;
    render(count);
    blep_finish(&mixer.blep, mixer.mix_buffer, count);
}

void audio_fill(void*, uint8_t* destination, uint32_t count) {
    // Renders in pieces of the work buffer's size, so that every frame of the chunk is rendered
    // whatever count the device asks for. The words go straight into the chunk, each to both
    // sides, low byte first: the same words mixer_generate makes.
    while (count > 0) {
        uint32_t n = count < MIXER_BUFFER_SAMPLES ? count : MIXER_BUFFER_SAMPLES;
        render(n);
        blep_finish_stereo(&mixer.blep, destination, n);
        destination += 4 * n;
        count -= n;
    }
}

void mixer_reset() {
    std::memset(mixer.mix_buffer, 0, sizeof mixer.mix_buffer);
    mixer.noise_state = 1;
    mixer.noise_white = 0;
    mixer.samples_made = 0;
    for (int ch = 0; ch < 4; ++ch) {
        mixer.channel_frequency[ch].store(0, std::memory_order_relaxed);
        mixer.channel_volume[ch].store(0, std::memory_order_relaxed);
        mixer.voice[ch] = PsgVoice{};
    }
    for (auto& w : mixer.ay_words) w.store(0, std::memory_order_relaxed);
    ay_voices_reset(&mixer.ay);
    blep_reset(&mixer.blep);
}
