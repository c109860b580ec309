// The console's sound chip in two layers. PsgState (psg.cpp) turns the bytes a game writes to
// the sound port into channel frequencies and levels; it runs on the emulation thread, called by
// the port map (psg_write), the loader (psg_init, psg_flush) and the frame driver (psg_flush at
// every frame end). SoundMixer (mixer.cpp) keeps the last delivered value of each channel of this
// chip and the Super Game Module's registers (sound/ay.h), and renders samples from them on the
// audio thread (audio_fill, declared with the platform interface), every edge a band-limited step
// (sound/blep.h). The two threads share only the mixer's delivered words, each an atomic word
// written by the emulation thread and read by the audio thread; the generators' state and the
// work buffers belong to the audio thread except in mixer_reset, which runs only while the audio
// thread is paused and has acknowledged it. The mixer's state holds no pointer, so that it can be
// saved and restored as it is.
#pragma once
#include <atomic>
#include <cstdint>

#include "sound/ay.h"
#include "sound/blep.h"

constexpr uint8_t PSG_FLUSH_ONLY = 2;

// Frequencies are kept in 1/256 Hz: whole hertz would leave the low notes up to 8 cents out of
// tune, while this keeps every period within a hundredth of a cent of the chip's own pitch.
constexpr int32_t PSG_FREQUENCY_SCALE = 256;
// The chip divides its 3,579,545 Hz clock by 32 x the 10-bit period of a tone channel.
constexpr int32_t PSG_CLOCK_HZ = 3579545;
// The chip's tones reach far above hearing (period 1 is 111,861 Hz); only period 0 is silent.
constexpr int32_t PSG_MAX_FREQUENCY = PSG_CLOCK_HZ * (PSG_FREQUENCY_SCALE / 32);
// Noise rates 0, 1 and 2 shift the noise register at the clock / 512, / 1024 and / 2048 (the
// tone rate of periods 16, 32 and 64), in 1/256 Hz; rate 3 follows tone channel 2.
constexpr int32_t PSG_NOISE_FREQUENCY[3] = {(PSG_CLOCK_HZ + 1) / 2, (PSG_CLOCK_HZ + 2) / 4,
                                            (PSG_CLOCK_HZ + 4) / 8};
// The amplitude of a channel's square wave at each attenuation: 2 dB quieter per step, 15 silent.
// Full level leaves room for all seven channels of both chips at full level, the ringing of
// their band-limited edges included, in the 16-bit output: 4 x 1.27 x 2730 for this chip's
// squares (a square's fundamental alone peaks at 4 / pi of its level) and 3 x 2.27 x 2730 for the
// module's, which swing from 0 to twice this level (sound/ay.h), make 32,506.
constexpr int32_t PSG_FULL_LEVEL = 2730;
constexpr int32_t PSG_LEVEL[16] = {2730, 2169, 1723, 1368, 1087, 863, 686, 545,
                                   433,  344,  273,  217,  172,  137,  109, 0};
// The noise channel's delivered level word carries the noise control's feedback bit here: set,
// the register makes white noise; clear, periodic noise.
constexpr int32_t PSG_NOISE_WHITE = 1 << 16;

using PsgChannelUpdate = void (*)(int32_t channel, int32_t frequency, int32_t volume);

struct PsgState {
    int32_t frequency[4]; // 1/256 Hz; channels 0..2 tone, 3 noise; 0 = silent
    int32_t volume[4];    // PSG_LEVEL of the channel's attenuation
    int32_t defer_mode;   // nonzero: changes are collected until psg_flush
    uint8_t noise_mode;   // rate and feedback bits (0..7) of the last noise control byte
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
constexpr uint32_t MIXER_BUFFER_SAMPLES = BLEP_MAX_SAMPLES; // most samples one mixer_generate renders
constexpr int32_t MIXER_TYPE_SQUARE = 1;
constexpr int32_t MIXER_TYPE_NOISE = 2;

// What the audio thread keeps of one channel of this chip between fills.
struct PsgVoice {
    uint32_t next;      // time of the next edge (tone) or shift (noise), 16.16 samples from the fill
    uint32_t interval;  // 16.16 samples between edges or shifts; 0 = the channel does not move
    int32_t frequency;  // the delivered frequency `interval` was made from
    int32_t output;     // what the channel adds to the mix now
    int32_t high;       // tone: 1 in the upper half-wave, 0 in the lower
};

struct SoundMixer {
    std::atomic<int32_t> channel_frequency[4]; // written by the emulation thread
    std::atomic<int32_t> channel_volume[4];    // written by the emulation thread; low 16 bits the level
    std::atomic<uint32_t> ay_words[AY_SHARED_WORDS]; // the module's registers (ay_flush)
    int32_t channel_type[4];                   // square, square, square, noise
    uint32_t noise_state;                      // noise shift register; bit 0 gives the sign
    uint32_t noise_white;                      // the feedback the register runs with (PSG_NOISE_WHITE or 0)
    uint32_t samples_made;                     // counts every rendered sample (wraps)
    PsgVoice voice[4];
    AyVoices ay;
    BlepBuffer blep;
    int16_t mix_buffer[MIXER_BUFFER_SAMPLES];  // output words of the last mixer_generate
};

extern SoundMixer mixer;

// The channel_update callback the program installs: stores the channel's values for the mixer.
void mixer_set_channel(int32_t channel, int32_t frequency, int32_t volume);

// Renders `count` samples (at most MIXER_BUFFER_SAMPLES) into mix_buffer as output words.
void mixer_generate(uint32_t count);

// Between games, while the audio thread is paused: silences every channel of both chips, clears
// the generators, the work buffers and the noise registers. The channel types stay.
void mixer_reset();

// 16.16 samples per half-wave of a tone at `frequency` (1/256 Hz); 0 for frequencies of 0 or
// less and for tones above half the sample rate, whose band-limited sound is silence.
uint32_t mixer_half_wave(int32_t frequency);
