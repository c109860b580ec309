// The console's sound chip in two layers: PsgState turns the bytes a game writes to the sound
// port into channel frequencies and levels (emulation thread); SoundMixer renders samples from
// them for the audio thread (audio_fill, declared with the platform interface).
#pragma once
#include <cstdint>

constexpr uint8_t PSG_FLUSH_ONLY = 2;

using PsgChannelUpdate = void (*)(int32_t channel, int32_t frequency, int32_t volume);

struct PsgState {
    int32_t frequency[4];
    int32_t volume[4];
    int32_t defer_mode;
    uint8_t noise_mode;
    uint8_t latched_byte;
    uint8_t pending_mask;
    PsgChannelUpdate channel_update;
};

extern PsgState psg;

void psg_init(PsgState* s, PsgChannelUpdate callback);
void psg_write(PsgState* s, uint8_t value);
void psg_flush(PsgState* s, uint8_t mode);

void mixer_set_channel(int32_t channel, int32_t frequency, int32_t volume);
void mixer_reset();
