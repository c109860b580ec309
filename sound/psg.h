// The console's sound chip in two layers. PsgState (psg.cpp) turns the bytes a game writes to
// the sound port into channel frequencies and levels; it runs on the emulation thread, called by
// the port map (psg_write), the loader (psg_init, psg_flush) and the frame driver (psg_flush at
// every frame end). SoundMixer (mixer.cpp) keeps the last delivered value of each channel and
// renders samples from them on the audio thread (audio_fill, declared with the platform
// interface). The two threads share only the mixer's per-channel words, each an atomic word
// written by the emulation thread and read by the audio thread; the phases and the work buffer
// belong to the audio thread except in mixer_reset, which runs only while the audio thread is
// paused and has acknowledged it.
#pragma once
#include <atomic>
#include <cstdint>

constexpr uint8_t PSG_FLUSH_ONLY = 2;

// Frequencies are kept in 1/256 Hz: whole hertz would leave the low notes up to 8 cents out of
// tune, while this keeps every period within a hundredth of a cent of the chip's own pitch.
constexpr int32_t PSG_FREQUENCY_SCALE = 256;
// The chip divides its 3,579,545 Hz clock by 32 x the 10-bit period of a tone channel.
constexpr int32_t PSG_CLOCK_HZ = 3579545;
// Frequencies above this are not rendered (they would only alias at 44100 Hz).
constexpr int32_t PSG_MAX_FREQUENCY = 15000 * PSG_FREQUENCY_SCALE;
// Noise rates 0, 1 and 2 shift the noise register at the clock / 512, / 1024 and / 2048 (the
// tone rate of periods 16, 32 and 64), in 1/256 Hz; rate 3 follows tone channel 2.
constexpr int32_t PSG_NOISE_FREQUENCY[3] = {(PSG_CLOCK_HZ + 1) / 2, (PSG_CLOCK_HZ + 2) / 4,
                                            (PSG_CLOCK_HZ + 4) / 8};
// The level of each attenuation: 2 dB quieter per step, 15 silent. Full level (attenuation 0)
// leaves room for four channels in a 16-bit sum; the mixer doubles the sum into its output word.
constexpr int32_t PSG_FULL_LEVEL = 7680;
constexpr int32_t PSG_LEVEL[16] = {7680, 6100, 4846, 3849, 3057, 2429, 1929, 1532,
                                   1217, 967,  768,  610,  485,  385,  306,  0};

using PsgChannelUpdate = void (*)(int32_t channel, int32_t frequency, int32_t volume);

struct PsgState {
    int32_t frequency[4]; // 1/256 Hz; channels 0..2 tone, 3 noise; 0 = silent
    int32_t volume[4];    // PSG_LEVEL of the channel's attenuation
    int32_t defer_mode;   // nonzero: changes are collected until psg_flush
    uint8_t noise_mode;   // rate bits of the last noise control byte
    uint8_t latched_byte; // last tone latch byte; 0 until one arrives
    uint8_t pending_mask; // bit n: channel n changed and is not delivered yet
    PsgChannelUpdate channel_update;
};

extern PsgState psg;

// Frequency in 1/256 Hz of a tone period (0..1023): 0 for silent periods.
int32_t psg_tone_frequency(uint32_t period);

void psg_init(PsgState* s, PsgChannelUpdate callback);
void psg_write(PsgState* s, uint8_t value);
// Delivers the pending changes; a mode other than PSG_FLUSH_ONLY also becomes the defer mode.
void psg_flush(PsgState* s, uint8_t mode);

// --- The mixer ---

constexpr int32_t MIXER_SAMPLE_RATE = 44100;
constexpr uint32_t MIXER_BUFFER_SAMPLES = 2048; // most samples one mixer_generate renders
constexpr int32_t MIXER_TYPE_SQUARE = 1;
constexpr int32_t MIXER_TYPE_NOISE = 2;

struct SoundMixer {
    std::atomic<int32_t> channel_frequency[4]; // written by the emulation thread
    std::atomic<int32_t> channel_volume[4];    // written by the emulation thread; low 16 bits used
    uint32_t channel_phase[4];                 // 32-bit phase accumulators (audio thread)
    int32_t channel_type[4];                   // square, square, square, noise
    uint32_t noise_state;                      // noise shift register; bit 0 gives the sign
    int16_t mix_buffer[MIXER_BUFFER_SAMPLES];  // output words of the last mixer_generate
};

extern SoundMixer mixer;

// The channel_update callback the program installs: stores the channel's values for the mixer.
void mixer_set_channel(int32_t channel, int32_t frequency, int32_t volume);

// Renders `count` samples (at most MIXER_BUFFER_SAMPLES) into mix_buffer as output words.
void mixer_generate(uint32_t count);

// Between games, while the audio thread is paused: silences every channel, clears the phases,
// the work buffer and the noise register. The channel types stay.
void mixer_reset();

// The phase increment per 44100 Hz sample of a channel at `frequency` (1/256 Hz): one period is
// 2^32, so that even the lowest note's step has over 20 significant bits and every pitch is
// within a millionth of the exact one. 0 for frequencies of 0 or less and above half the sample
// rate (they would only alias).
uint32_t mixer_phase_step(int32_t frequency);

// One sum of channel levels as the 16-bit word the sound device is given: the sum, clamped to
// -16384..16383, doubled. One channel at full level gives 0x3C00.
constexpr uint16_t mixer_output_word(int32_t sum) {
    if (sum > 16383) sum = 16383;
    if (sum < -16384) sum = -16384;
    return uint16_t(sum * 2);
}
