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

// The mean of the span, and the span less its mean: the module's chip swings from 0 to its level.
double mean(const std::vector<int16_t>& a, Span span) {
    double m = 0;
    for (size_t i = span.from; i < span.to; ++i) m += a[i];
    return m / double(span.to - span.from);
}
std::vector<int16_t> less_mean(const std::vector<int16_t>& a, Span span) {
    double m = mean(a, span);
    std::vector<int16_t> out;
    for (size_t i = span.from; i < span.to; ++i) out.push_back(int16_t(std::lround(a[i] - m)));
    return out;
}

TEST_F(Mixing, AyTonesAreInTuneAndAsLoudAsTheFirstChipsWithThreeDecibelSteps) {
    for (int period : {4095, 1000, 254, 57, 13, 8}) {
        ay_tone(2, uint16_t(period));
        std::vector<int16_t> a = less_mean(render(1.0), {4096, 44100});
        double wanted = tone_hz(period);
        double f = wanted < SOUND_RATE / 4 ? measure_pitch(a, {0, a.size()})
                                           : fit_pitch(a, {0, a.size()}, wanted / 1.03, wanted * 1.03);
        EXPECT_NEAR(cents(f, wanted), 0, 1.0) << "period " << period;
    }
    // A square wave's fundamental is 4 / pi of half its swing: at full level both chips give the
    // first chip's full level.
    const double hz = tone_hz(254);
    std::vector<double> level(16);
    for (uint8_t l = 0; l < 16; ++l) {
        ay_tone(0, 254, l);
        std::vector<int16_t> a = render(0.3);
        level[l] = amplitude_at(a, {4096, a.size()}, hz) * M_PI / 4;
    }
    EXPECT_NEAR(level[15], PSG_FULL_LEVEL, PSG_FULL_LEVEL * 0.01);
    mixer_reset();
    psg_tone(1, 254);
    std::vector<int16_t> a = render(0.3);
    EXPECT_NEAR(amplitude_at(a, {4096, a.size()}, hz) * M_PI / 4, level[15], level[15] * 0.01);
    for (int l = 1; l < 15; ++l) EXPECT_NEAR(20 * std::log10(level[l] / level[l + 1]), -3, 0.2) << l;
    EXPECT_LT(level[0], 1);
}

TEST_F(Mixing, PeriodOneIsSilentOnBothChips) {
    psg_tone(0, 1);
    ay_tone(1, 1);
    std::vector<int16_t> a = render(0.5);
    // The module's chip swings from 0 to its level: half of it is what remains.
    EXPECT_NEAR(mean(a, {1024, 22050}), AY_LEVEL[15] / 2, 2);
    a = less_mean(a, {1024, 22050});
    EXPECT_LT(20 * std::log10(std::max(1, peak(a, {0, a.size()})) / 32768.0), -40);
}

TEST_F(Mixing, AllSevenChannelsAtFullLevelStayInsideTheOutput) {
    const uint16_t psg_periods[3] = {8, 9, 11}, ay_periods[3] = {8, 10, 12};
    for (int c = 0; c < 3; ++c) {
        psg_tone(c, psg_periods[c]);
        set(uint8_t(2 * c), uint8_t(ay_periods[c]));
        set(uint8_t(AY_LEVEL_A + c), 15);
    }
    psg_write(&p, 0xE4);
    psg_write(&p, 0xF0);
    set(AY_MIXER, 0x38);
    ay_flush(&ay);
    std::vector<int16_t> a = render(3.0);
    int32_t top = peak(a, {0, a.size()});
    std::printf("seven channels at full level: peak %d\n", top);
    EXPECT_LT(top, 32767);
    EXPECT_GT(top, 20000);
}

TEST_F(Mixing, MixerBitsChooseToneNoiseBothOrAHeldLevel) {
    // Register 7 for channel B: tone only, noise only, both, neither. The noise at period 31
    // shifts 3608 times a second and changes its output at about every second shift; at period 1
    // it shifts 111,861 times a second and is heard once a sample, changing at every second one.
    struct Case {
        uint8_t mixer, noise;
        double crossings; // per second, through the output's mean
        double mean;      // as a share of the level
    } cases[] = {{0x3D, 31, 2 * tone_hz(100), 0.5}, {0x2F, 31, 3608.4 / 2, 0.5}, {0x2F, 1, SOUND_RATE / 2, 0.5},
                 {0x2D, 31, 0, 0.25},                {0x3F, 31, 0, 1.0}};
    for (const Case& c : cases) {
        mixer_reset();
        ay_tone(1, 100);
        set(AY_NOISE_PERIOD, c.noise);
        set(AY_MIXER, c.mixer);
        ay_flush(&ay);
        std::vector<int16_t> a = render(2.0);
        Span span{4096, a.size()};
        EXPECT_NEAR(mean(a, span) / AY_LEVEL[15], c.mean, 0.03) << std::hex << int(c.mixer);
        std::vector<int16_t> ac = less_mean(a, span);
        double rate = sign_changes_per_second(ac, {0, ac.size()});
        if (c.crossings > 0) {
            EXPECT_NEAR(rate / c.crossings, 1.0, 0.05) << std::hex << int(c.mixer) << " noise " << int(c.noise);
        } else if (c.mean == 1.0) {
            EXPECT_LT(peak(ac, {0, ac.size()}), 2) << "a held channel is a steady level";
        }
    }
}

// The envelope's level at the middle of each of its steps, read back through the level table.
std::vector<int> envelope_levels(const std::vector<int16_t>& a, double step, size_t steps) {
    std::vector<int> out;
    for (size_t k = 0; k < steps; ++k) {
        int16_t v = a[size_t((double(k) + 0.5) * step) + 7];
        int best = 0;
        for (int l = 1; l < 16; ++l)
            if (std::abs(AY_LEVEL[l] - v) < std::abs(AY_LEVEL[best] - v)) best = l;
        out.push_back(best);
    }
    return out;
}

TEST_F(Mixing, TheEnvelopeMakesTheChipsTenShapes) {
    // E = 256: a step every 4096 chip clocks, about 101 samples. Three cycles of each shape.
    const double step = 16 * 256 * SOUND_RATE / (3579545.0 / 2);
    auto ramp = [](bool up) {
        std::vector<int> r;
        for (int i = 0; i < 16; ++i) r.push_back(up ? i : 15 - i);
        return r;
    };
    auto flat = [](int level) { return std::vector<int>(16, level); };
    auto join = [](std::vector<std::vector<int>> parts) {
        std::vector<int> r;
        for (auto& p : parts) r.insert(r.end(), p.begin(), p.end());
        return r;
    };
    const std::vector<int> down = ramp(false), up = ramp(true);
    const std::vector<int> want[16] = {
        join({down, flat(0), flat(0)}), join({down, flat(0), flat(0)}), join({down, flat(0), flat(0)}),
        join({down, flat(0), flat(0)}), join({up, flat(0), flat(0)}),   join({up, flat(0), flat(0)}),
        join({up, flat(0), flat(0)}),   join({up, flat(0), flat(0)}),   join({down, down, down}),
        join({down, flat(0), flat(0)}), join({down, up, down}),         join({down, flat(15), flat(15)}),
        join({up, up, up}),             join({up, flat(15), flat(15)}), join({up, down, up}),
        join({up, flat(0), flat(0)})};
    for (uint8_t shape = 0; shape < 16; ++shape) {
        mixer_reset();
        set(AY_ENVELOPE_FINE, 0);
        set(AY_ENVELOPE_COARSE, 1);
        set(AY_MIXER, 0x3F);
        set(AY_LEVEL_A, 0x10);
        set(AY_ENVELOPE_SHAPE, shape);
        ay_flush(&ay);
        std::vector<int16_t> a = render(0.12);
        EXPECT_EQ(envelope_levels(a, step, 48), want[shape]) << "shape " << int(shape);
    }
    // Writing the shape again, even the same one, starts it again.
    set(AY_ENVELOPE_SHAPE, 15);
    ay_flush(&ay);
    std::vector<int16_t> a = render(0.05);
    EXPECT_EQ(envelope_levels(a, step, 16), up);
}

TEST_F(Mixing, ARepeatingEnvelopeWithEAPeriodOverSixteenSoundsAtThatTonesPitch) {
    // A sawtooth with E = 20 matches a tone of period 320, and a triangle lasts twice as long.
    for (uint8_t shape : {8, 12, 10}) {
        mixer_reset();
        set(AY_ENVELOPE_FINE, 20);
        set(AY_MIXER, 0x3F);
        set(AY_LEVEL_A + 2, 0x10);
        set(AY_ENVELOPE_SHAPE, shape);
        ay_flush(&ay);
        std::vector<int16_t> a = render(1.0);
        double wanted = tone_hz(320) / (shape == 10 ? 2 : 1);
        double f = fit_pitch(a, {4096, a.size()}, wanted / 1.03, wanted * 1.03);
        EXPECT_NEAR(cents(f, wanted), 0, 1.0) << "shape " << int(shape);
    }
}

TEST_F(Mixing, PeriodicNoiseBuzzesAtTheNoiseRateOverFifteen) {
    // Periodic noise at rate 1 (3496 shifts a second), then white noise at the same rate: only
    // the periodic one has its fundamental at the rate / 15.
    double rate = 3579545.0 / 1024, fundamental = rate / 15, strength[2];
    for (uint8_t control : {0xE1, 0xE5}) {
        mixer_reset();
        psg_init(&p, mixer_set_channel);
        psg_write(&p, control);
        psg_write(&p, 0xF0);
        std::vector<int16_t> a = render(1.0);
        Span span{4096, a.size()};
        double f = fit_pitch(a, span, fundamental / 1.03, fundamental * 1.03);
        strength[control == 0xE5] = amplitude_at(a, span, f) / PSG_FULL_LEVEL;
        if (control == 0xE1) {
            EXPECT_NEAR(cents(f, fundamental), 0, 1.0);
        }
    }
    std::printf("at the rate / 15: periodic noise %.3f, white noise %.3f of full level\n", strength[0], strength[1]);
    EXPECT_GT(strength[0], 4 * strength[1]);
}

} // namespace
