// How long the mixer takes to render sound: four loud channels (three tones and the noise) for
// 60 seconds of 44100 Hz output, in fills of 512 samples as the audio thread asks for them.
#include <chrono>
#include <cstdio>

#include "platform/platform.h"
#include "sound/psg.h"

int main() {
    mixer_reset();
    mixer_set_channel(0, psg_tone_frequency(254), PSG_FULL_LEVEL); // 440 Hz
    mixer_set_channel(1, psg_tone_frequency(202), PSG_FULL_LEVEL); // 554 Hz
    mixer_set_channel(2, psg_tone_frequency(170), PSG_FULL_LEVEL); // 659 Hz
    mixer_set_channel(3, PSG_NOISE_FREQUENCY[0], PSG_FULL_LEVEL);
    static uint8_t chunk[512 * 4];
    const uint32_t fills = 60 * 44100 / 512;
    uint32_t check = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < fills; ++i) {
        audio_fill(nullptr, chunk, 512);
        check += chunk[i % sizeof chunk];
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double samples = double(fills) * 512;
    std::printf("mixer: %.0f samples in %.4f s, %.2f ns per sample, %.0fx real time (check %u)\n", samples, s,
                s * 1e9 / samples, samples / 44100 / s, check);
    return 0;
}
