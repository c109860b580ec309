// The Super Game Module's chip and the band-limited mixing of both chips, judged on rendered
// samples: pitch, levels, the envelope's shapes and rate, the noise, and what the sampling adds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "sound/ay.h"
#include "sound/psg.h"
#include "tests/sound/sound_analysis.h"

namespace {

struct Mixing : ::testing::Test {
    PsgState p;
    void SetUp() override {
        mixer_reset();
        ay_reset(&ay);
        psg_init(&p, mixer_set_channel);
    }
    void TearDown() override { mixer_reset(); }
    void set(uint8_t reg, uint8_t value) {
        ay_select(&ay, reg);
        ay_write(&ay, value);
    }
    // An AY tone of `period` on channel c at full level, the other channels silent.
    void ay_tone(int c, uint16_t period, uint8_t level = 15) {
        set(uint8_t(2 * c), uint8_t(period & 0xFF));
        set(uint8_t(2 * c + 1), uint8_t(period >> 8));
        set(AY_MIXER, uint8_t(0x3F & ~(1 << c)));
        set(uint8_t(AY_LEVEL_A + c), level);
        ay_flush(&ay);
    }
    void psg_tone(int c, uint16_t period, uint8_t attenuation = 0) {
        psg_write(&p, uint8_t(0x80 | c << 5 | (period & 0x0F)));
        psg_write(&p, uint8_t(period >> 4));
        psg_write(&p, uint8_t(0x90 | c << 5 | attenuation));
    }
};


double tone_hz(int period) { return 3579545.0 / (32.0 * period); }

TEST_F(Mixing, TonesOfBothChipsCarryNoAliases) {
    const int periods[] = {8, 9, 11, 13, 16, 22, 31, 57, 100, 254, 1000};
    for (int chip = 0; chip < 2; ++chip)
        for (int period : periods) {
            mixer_reset();
            ay_reset(&ay);
            psg_init(&p, mixer_set_channel);
            if (chip == 0)
                psg_tone(0, uint16_t(period));
            else
                ay_tone(1, uint16_t(period));
            std::vector<int16_t> a = render(1.0);
            double found = 0;
            double stray = strongest_stray_db(a, {4096, a.size()}, tone_hz(period), &found);
            std::printf("%s period %4d (%8.1f Hz): strongest stray %6.1f dB\n", chip ? "AY " : "PSG", period,
                        tone_hz(period), stray);
            EXPECT_LT(stray, -50) << (chip ? "AY" : "PSG") << " period " << period;
        }
}

} // namespace
