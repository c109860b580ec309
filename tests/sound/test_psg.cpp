// The sound chip's register layer and the mixer: port bytes to frequencies and levels, deferred
// delivery, the pitch the mixer renders, the square and noise waveforms and the output words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/platform.h"
#include "sound/psg.h"
#include "tests/sound/sound_analysis.h"

namespace {

// Frequencies are kept in 1/256 Hz.
double hz(int32_t frequency) { return frequency / 256.0; }
constexpr double HALF_UNIT = 0.5 / 256;
double chip_pitch(int period) { return 3579545.0 / (32.0 * period); }

struct Update {
    int32_t channel, frequency, volume;
};
std::vector<Update> updates;
void record_update(int32_t ch, int32_t f, int32_t v) { updates.push_back({ch, f, v}); }

struct Chip : ::testing::Test {
    PsgState s;
    void SetUp() override {
        updates.clear();
        psg_init(&s, record_update);
    }
    void tone(uint8_t latch, uint8_t data) {
        psg_write(&s, latch);
        psg_write(&s, data);
    }
};

TEST_F(Chip, LatchAndDataBytesGiveTheToneFrequencies) {
    psg_write(&s, 0x05); // a data byte before any latch
    EXPECT_EQ(s.frequency[0], 0);
    EXPECT_TRUE(updates.empty());
    psg_write(&s, 0x8E); // a latch alone changes nothing
    EXPECT_TRUE(updates.empty());
    psg_write(&s, 0x0F); // period 0xFE = 254
    EXPECT_NEAR(hz(s.frequency[0]), chip_pitch(254), HALF_UNIT);
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].channel, 0);
    EXPECT_EQ(updates[0].frequency, s.frequency[0]);
    tone(0x8F, 0x3F); // period 0x3FF, the lowest note: its fraction of a hertz is kept
    EXPECT_NEAR(hz(s.frequency[0]), chip_pitch(1023), HALF_UNIT);
    tone(0x88, 0x00); // period 8
    EXPECT_NEAR(hz(s.frequency[0]), chip_pitch(8), HALF_UNIT);
    tone(0x81, 0x00); // period 1, far above hearing: the mixer makes it silent
    EXPECT_NEAR(hz(s.frequency[0]), chip_pitch(1), HALF_UNIT);
    tone(0x80, 0x00); // period 0
    EXPECT_EQ(s.frequency[0], 0);
    // A second data byte goes to the same channel; the latches of channels 1 and 2 pick them.
    tone(0xA8, 0x00);
    psg_write(&s, 0x0F);
    EXPECT_NEAR(hz(s.frequency[1]), chip_pitch(0xF8), HALF_UNIT);
    tone(0xCE, 0x0F);
    EXPECT_NEAR(hz(s.frequency[2]), chip_pitch(254), HALF_UNIT);
    EXPECT_EQ(s.frequency[0], 0);
    // The same frequency again is no change.
    size_t n = updates.size();
    tone(0xCE, 0x0F);
    EXPECT_EQ(updates.size(), n);
    EXPECT_EQ(psg_tone_frequency(0), 0);
}

TEST_F(Chip, AttenuationSetsLevelsAndNotifiesOnlyOnChange) {
    psg_write(&s, 0x90);
    EXPECT_EQ(s.volume[0], PSG_FULL_LEVEL);
    psg_write(&s, 0x90);
    EXPECT_EQ(updates.size(), 1u);
    psg_write(&s, 0x9F);
    EXPECT_EQ(s.volume[0], 0);
    // Each step is quieter than the one before; how much is measured on the recorded sound.
    for (uint8_t a = 1; a < 16; ++a) {
        psg_write(&s, uint8_t(0xB0 | (a - 1)));
        int32_t louder = s.volume[1];
        psg_write(&s, uint8_t(0xB0 | a));
        EXPECT_LT(s.volume[1], louder) << int(a);
    }
    psg_write(&s, 0xF0);
    EXPECT_EQ(s.volume[3], PSG_FULL_LEVEL);
    psg_write(&s, 0xFF);
    EXPECT_EQ(s.volume[3], 0);
    EXPECT_EQ(updates.back().channel, 3);
    EXPECT_EQ(updates.back().volume, 0);
}

TEST_F(Chip, NoiseRatesComeFromTheChipsClockAndRateThreeFollowsToneTwo) {
    // A fresh chip has periodic noise at rate 0 with its frequency: choosing it changes nothing,
    // and turning the noise up delivers that frequency. The feedback bit reaches the mixer with
    // the level.
    EXPECT_NEAR(hz(s.frequency[3]), 3579545.0 / 512, HALF_UNIT);
    psg_write(&s, 0xE0);
    EXPECT_TRUE(updates.empty());
    psg_write(&s, 0xF0);
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].frequency, s.frequency[3]);
    EXPECT_EQ(updates[0].volume, PSG_FULL_LEVEL);
    psg_write(&s, 0xE4); // white noise at the same rate
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[1].volume, PSG_FULL_LEVEL | PSG_NOISE_WHITE);
    EXPECT_EQ(updates[1].frequency, updates[0].frequency);
    psg_write(&s, 0xE1);
    EXPECT_NEAR(hz(s.frequency[3]), 3579545.0 / 1024, HALF_UNIT);
    psg_write(&s, 0xE2);
    EXPECT_NEAR(hz(s.frequency[3]), 3579545.0 / 2048, HALF_UNIT);
    psg_write(&s, 0xE4);
    EXPECT_NEAR(hz(s.frequency[3]), 3579545.0 / 512, HALF_UNIT);
    EXPECT_EQ(s.noise_mode, 4);
    int32_t rate0 = s.frequency[3];
    tone(0xCE, 0x0F); // tone 2 does not move noise rate 0
    EXPECT_EQ(s.frequency[3], rate0);
    psg_write(&s, 0xE3);
    EXPECT_EQ(s.frequency[3], s.frequency[2]);
    updates.clear();
    tone(0xCF, 0x3F); // with rate 3 a new tone 2 moves the noise too: noise first, then tone
    EXPECT_NEAR(hz(s.frequency[3]), chip_pitch(1023), HALF_UNIT);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].channel, 3);
    EXPECT_EQ(updates[0].frequency, s.frequency[2]);
    EXPECT_EQ(updates[1].channel, 2);
    tone(0x8E, 0x0F); // tone 0 does not
    EXPECT_EQ(s.frequency[3], s.frequency[2]);
}

TEST_F(Chip, DeferredDeliveryGivesOneUpdatePerChannelAndFrame) {
    psg_flush(&s, 1);
    EXPECT_EQ(s.defer_mode, 1);
    tone(0xA8, 0x00);
    tone(0xAE, 0x0F);
    tone(0xAF, 0x3F);
    psg_write(&s, 0x92);
    EXPECT_TRUE(updates.empty());
    EXPECT_EQ(s.pending_mask, 0x03);
    psg_flush(&s, PSG_FLUSH_ONLY);
    EXPECT_EQ(s.defer_mode, 1);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].channel, 0); // channels in order 0..3
    EXPECT_EQ(updates[0].volume, s.volume[0]);
    EXPECT_EQ(updates[1].channel, 1);
    EXPECT_EQ(updates[1].frequency, psg_tone_frequency(1023)); // only the frame's last value
    psg_flush(&s, PSG_FLUSH_ONLY);                             // nothing pending: nothing delivered
    EXPECT_EQ(updates.size(), 2u);
    // Mode 0 delivers what is pending and switches to immediate delivery.
    psg_write(&s, 0xF5);
    psg_flush(&s, 0);
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_EQ(updates[2].channel, 3);
    psg_write(&s, 0xF6);
    EXPECT_EQ(updates.size(), 4u);
}

struct MixerTest : ::testing::Test {
    void SetUp() override { mixer_reset(); }
    void TearDown() override { mixer_reset(); }
};

constexpr int32_t HZ = PSG_FREQUENCY_SCALE;


TEST_F(MixerTest, SilentChannelsAddNothingAndLevelsStopAtFull) {
    // A silent level or frequency adds nothing, nor does a level whose low 16 bits are 0, nor a
    // tone too high to be heard.
    mixer_set_channel(0, 440 * HZ, 0);
    mixer_set_channel(1, 0, PSG_FULL_LEVEL);
    mixer_set_channel(2, 440 * HZ, 0x10000);
    mixer_set_channel(3, 30000 * HZ, 0);
    mixer_set_channel(0, 30000 * HZ, PSG_FULL_LEVEL);
    std::vector<int16_t> a = render(0.1);
    EXPECT_EQ(peak(a, {0, a.size()}), 0);
    // A level above full (only the low 16 bits count) plays at full level.
    mixer_set_channel(2, 440 * HZ, 0xFFFF);
    a = render(0.5);
    EXPECT_NEAR(amplitude_at(a, {2048, a.size()}, 440) * M_PI / 4, PSG_FULL_LEVEL, 0.01 * PSG_FULL_LEVEL);
}

TEST_F(MixerTest, PitchKeepsFractionsOfAHertzAcrossFills) {
    // The lowest note, 109.346 Hz, a note a 256th of a hertz above it, and the highest note:
    // each measured over ten seconds rendered in fills.
    for (int32_t f : {27992, 27993, 440 * HZ + 102, 3579545}) {
        mixer_reset();
        mixer_set_channel(0, f, PSG_FULL_LEVEL);
        std::vector<int16_t> a = render(10);
        double wanted = double(f) / HZ;
        // The tone's first edge comes from silence; the count starts after it.
        double measured = wanted < SOUND_RATE / 4 ? measure_pitch(a, {2048, a.size()})
                                                  : fit_pitch(a, {0, 8820}, wanted / 1.03, wanted * 1.03);
        EXPECT_NEAR(cents(measured, wanted), 0.0, wanted < SOUND_RATE / 4 ? 0.01 : 0.1) << f;
    }
}

TEST_F(MixerTest, NoiseRegisterRunsThroughAllItsStatesBeforeRepeating) {
    // At 2756.25 Hz the white noise register shifts every 16 samples, so the middle of each 16
    // shows one of its output bits (the band-limited steps arrive 6.5 samples after their time).
    mixer_set_channel(3, 2756 * HZ + HZ / 4, PSG_FULL_LEVEL | PSG_NOISE_WHITE);
    const size_t period = 32767;
    std::vector<int16_t> a = render(16.0 * (period + 4681 + 2) / SOUND_RATE);
    std::vector<uint8_t> bits;
    for (size_t i = 14; i < a.size(); i += 16) {
        ASSERT_GT(std::abs(int32_t(a[i])), PSG_FULL_LEVEL * 9 / 10) << i;
        bits.push_back(a[i] < 0);
    }
    ASSERT_GE(bits.size(), period + 4681);
    // The sequence repeats after 2^15 - 1 shifts and after no divisor of it: the register
    // goes through every non-zero state, so the channel hisses instead of buzzing.
    auto repeats_after = [&](size_t p) {
        for (size_t i = 0; i + p < bits.size(); ++i)
            if (bits[i] != bits[i + p]) return false;
        return true;
    };
    EXPECT_TRUE(repeats_after(period));
    for (size_t p : {7, 31, 151, 217, 1057, 4681}) EXPECT_FALSE(repeats_after(p)) << p;
    // Within one round the outputs are balanced: 2^14 ones and one zero fewer.
    EXPECT_EQ(std::count(bits.begin(), bits.begin() + period, uint8_t(1)), 16384);
}

TEST_F(MixerTest, NoiseSoundsAsNoiseAndResetRestartsIt) {
    mixer_set_channel(3, PSG_NOISE_FREQUENCY[0], PSG_FULL_LEVEL | PSG_NOISE_WHITE);
    mixer_generate(2048);
    int plus = 0, minus = 0;
    for (int i = 16; i < 2048; ++i) (mixer.mix_buffer[i] > 0 ? plus : minus)++;
    // Not a constant level: both signs, roughly balanced.
    EXPECT_GT(plus, 600);
    EXPECT_GT(minus, 600);
    std::vector<int16_t> first(mixer.mix_buffer, mixer.mix_buffer + 2048);
    // The reset silences every channel and brings the register back to its start.
    mixer_reset();
    EXPECT_EQ(mixer.noise_state, 1u);
    mixer_generate(16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(mixer.mix_buffer[i], 0);
    EXPECT_EQ(mixer.channel_type[3], MIXER_TYPE_NOISE);
    EXPECT_EQ(mixer.channel_type[0], MIXER_TYPE_SQUARE);
    mixer_set_channel(3, PSG_NOISE_FREQUENCY[0], PSG_FULL_LEVEL | PSG_NOISE_WHITE);
    mixer_generate(2048);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), mixer.mix_buffer));
}

TEST_F(MixerTest, FillPutsEachSampleOnBothSidesAndRendersLongChunks) {
    mixer_set_channel(0, 440 * HZ, PSG_FULL_LEVEL);
    std::vector<uint8_t> chunk(3000 * 4, 0xAA);
    audio_fill(nullptr, chunk.data(), 3000);
    // The same sound rendered in two pieces the buffer can hold, low byte first on both sides.
    mixer_reset();
    mixer_set_channel(0, 440 * HZ, PSG_FULL_LEVEL);
    std::vector<int16_t> want;
    for (uint32_t n : {2048u, 952u}) {
        mixer_generate(n);
        want.insert(want.end(), mixer.mix_buffer, mixer.mix_buffer + n);
    }
    ASSERT_NE(peak(want, {0, want.size()}), 0);
    for (size_t i = 0; i < 3000; ++i) {
        uint16_t w = uint16_t(want[i]);
        for (size_t side = 0; side < 2; ++side) {
            ASSERT_EQ(chunk[i * 4 + 2 * side], w & 0xFF) << i;
            ASSERT_EQ(chunk[i * 4 + 2 * side + 1], w >> 8) << i;
        }
    }
}

} // namespace
