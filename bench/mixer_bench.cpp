// How long the mixer takes to render sound: all seven channels of both chips at full level (the
// first chip's three tones and its white noise, the module's three tones), in fills of 512
// samples as the audio thread asks for them. With --noisy the module's noise (period 1, shifted
// 111,861 times a second) joins channel C and a sawtooth envelope at E = 20 sets channel B's
// level: the chip's costliest use.
//
// Options: --frames N (the sound of N emulated frames, 735 samples each; 3600 by default),
// --noisy, --quiet (render and nothing else, for counting the instructions a run executes; see
// bench/arm_instructions.sh).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "sound/ay.h"
#include "sound/psg.h"

namespace {

void set(uint8_t reg, uint8_t value) {
    ay_select(&ay, reg);
    ay_write(&ay, value);
}

void seven_channels(bool noisy) {
    mixer_reset();
    mixer_set_channel(0, psg_tone_frequency(254), PSG_FULL_LEVEL); // 440 Hz
    mixer_set_channel(1, psg_tone_frequency(202), PSG_FULL_LEVEL); // 554 Hz
    mixer_set_channel(2, psg_tone_frequency(170), PSG_FULL_LEVEL); // 659 Hz
    mixer_set_channel(3, PSG_NOISE_FREQUENCY[0], PSG_FULL_LEVEL | PSG_NOISE_WHITE);
    ay_reset(&ay);
    const uint16_t periods[3] = {508, 339, 127}; // 220, 330 and 880 Hz
    for (uint8_t c = 0; c < 3; ++c) {
        set(uint8_t(2 * c), uint8_t(periods[c] & 0xFF));
        set(uint8_t(2 * c + 1), uint8_t(periods[c] >> 8));
        set(uint8_t(AY_LEVEL_A + c), 15);
    }
    set(AY_MIXER, noisy ? 0x18 : 0x38);
    if (noisy) {
        set(AY_NOISE_PERIOD, 1);
        set(AY_ENVELOPE_FINE, 20);
        set(AY_ENVELOPE_SHAPE, 8);
        set(AY_LEVEL_A + 1, 0x10);
    }
    ay_flush(&ay);
}

} // namespace

int main(int argc, char** argv) {
    uint32_t frames = 3600;
    bool quiet = false, noisy = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quiet") {
            quiet = true;
        } else if (a == "--noisy") {
            noisy = true;
        } else if (a == "--frames" && i + 1 < argc) {
            long v = std::strtol(argv[++i], nullptr, 10);
            if (v < 1 || v > 10000000) return 2;
            frames = uint32_t(v);
        } else {
            std::fprintf(stderr, "usage: velkoro_mixer_bench [--frames N] [--noisy] [--quiet]\n");
            return 2;
        }
    }
    seven_channels(noisy);
    static uint8_t chunk[512 * 4];
    const uint32_t fills = uint32_t(uint64_t(frames) * 735 / 512);
    uint32_t check = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < fills; ++i) {
        audio_fill(nullptr, chunk, 512);
        check += chunk[i % sizeof chunk];
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (quiet) return check == 0xFFFFFFFFu;
    double samples = double(fills) * 512;
    std::printf("mixer, seven channels%s: %.0f samples in %.4f s, %.2f ns per sample, %.0fx real time, "
                "%.3f%% of a core at 60 frames a second (check %u)\n",
                noisy ? " with the module's fastest noise and an envelope" : "", samples, s,
                s * 1e9 / samples, samples / 44100 / s, 100 * s / (samples / 44100), check);
    return 0;
}
