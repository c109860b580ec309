// The sound chip's register layer and the mixer: port bytes to frequencies and levels, deferred
// delivery, the phase steps, the square and noise waveforms and the output words.
#include <gtest/gtest.h>

#include <vector>

#include "platform/platform.h"
#include "sound/psg.h"

namespace {

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
    EXPECT_EQ(s.frequency[0], 440);
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].channel, 0);
    EXPECT_EQ(updates[0].frequency, 440);
    tone(0x8F, 0x3F); // period 0x3FF
    EXPECT_EQ(s.frequency[0], 109);
    tone(0x88, 0x00); // period 8: the highest that sounds
    EXPECT_EQ(s.frequency[0], 13982);
    tone(0x87, 0x00); // period 7: 15980 Hz is over the limit
    EXPECT_EQ(s.frequency[0], 0);
    tone(0x88, 0x00);
    tone(0x80, 0x00); // period 0
    EXPECT_EQ(s.frequency[0], 0);
    // A second data byte goes to the same channel; the latches of channels 1 and 2 pick them.
    tone(0xA8, 0x00);
    psg_write(&s, 0x0F);
    EXPECT_EQ(s.frequency[1], psg_tone_frequency(0xF8));
    tone(0xCE, 0x0F);
    EXPECT_EQ(s.frequency[2], 440);
    EXPECT_EQ(s.frequency[0], 0);
    // The same frequency again is no change.
    size_t n = updates.size();
    tone(0xCE, 0x0F);
    EXPECT_EQ(updates.size(), n);
    EXPECT_EQ(psg_tone_frequency(1), 0);
    EXPECT_EQ(psg_tone_frequency(100), 3579545 / 3200);
}

TEST_F(Chip, AttenuationSetsLevelsAndNotifiesOnlyOnChange) {
    psg_write(&s, 0x90);
    EXPECT_EQ(s.volume[0], 240);
    psg_write(&s, 0x90);
    EXPECT_EQ(updates.size(), 1u);
    psg_write(&s, 0x9F);
    EXPECT_EQ(s.volume[0], 0);
    psg_write(&s, 0xB7);
    EXPECT_EQ(s.volume[1], 128);
    psg_write(&s, 0xD1);
    EXPECT_EQ(s.volume[2], 224);
    psg_write(&s, 0xF0);
    EXPECT_EQ(s.volume[3], 240);
    psg_write(&s, 0xFF);
    EXPECT_EQ(s.volume[3], 0);
    ASSERT_EQ(updates.size(), 6u);
    EXPECT_EQ(updates[5].channel, 3);
    EXPECT_EQ(updates[5].volume, 0);
}

TEST_F(Chip, NoiseControlAndRateThreeFollowingToneTwo) {
    psg_write(&s, 0xE0); // rate 0 is already recorded
    EXPECT_TRUE(updates.empty());
    psg_write(&s, 0xE1);
    EXPECT_EQ(s.frequency[3], 10000);
    psg_write(&s, 0xE2);
    EXPECT_EQ(s.frequency[3], 5000);
    psg_write(&s, 0xE4); // the white/periodic bit does not matter
    EXPECT_EQ(s.frequency[3], 20000);
    EXPECT_EQ(s.noise_mode, 0);
    tone(0xCE, 0x0F); // tone 2 at 440 Hz does not move noise rate 0
    EXPECT_EQ(s.frequency[3], 20000);
    psg_write(&s, 0xE3);
    EXPECT_EQ(s.frequency[3], 440);
    updates.clear();
    tone(0xCF, 0x3F); // with rate 3 a new tone 2 moves the noise too: noise first, then tone
    EXPECT_EQ(s.frequency[3], 109);
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[0].channel, 3);
    EXPECT_EQ(updates[0].frequency, 109);
    EXPECT_EQ(updates[1].channel, 2);
    tone(0x8E, 0x0F); // tone 0 does not
    EXPECT_EQ(s.frequency[3], 109);
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
    EXPECT_EQ(updates[0].volume, 208);
    EXPECT_EQ(updates[1].channel, 1);
    EXPECT_EQ(updates[1].frequency, 109); // only the frame's last value
    psg_flush(&s, PSG_FLUSH_ONLY);        // nothing pending: nothing delivered
    EXPECT_EQ(updates.size(), 2u);
    // Mode 0 delivers what is pending and switches to immediate delivery.
    psg_write(&s, 0xF5);
    psg_flush(&s, 0);
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_EQ(updates[2].channel, 3);
    psg_write(&s, 0xF6);
    EXPECT_EQ(updates.size(), 4u);
}

TEST(Mixer, PhaseStepsAreExactWithoutDivision) {
    EXPECT_EQ(mixer_phase_step(440), 653u);
    EXPECT_EQ(mixer_phase_step(11025), 16384u);
    EXPECT_EQ(mixer_phase_step(0), 0u);
    EXPECT_EQ(mixer_phase_step(-5), 0u);
    for (int32_t f = 1; f <= 44099; ++f)
        ASSERT_EQ(mixer_phase_step(f), uint32_t(int64_t(f) * 65536 / 44100)) << f;
}

TEST(Mixer, OutputWordsClampLoudSums) {
    EXPECT_EQ(mixer_output_word(240), 0x3C00);
    EXPECT_EQ(mixer_output_word(-240), 0xC4FF);
    EXPECT_EQ(mixer_output_word(0), 0x0000);
    EXPECT_EQ(mixer_output_word(-1), 0xFFFF);
    EXPECT_EQ(mixer_output_word(511), 0x7F00);
    EXPECT_EQ(mixer_output_word(-512), 0x80FF);
    // Three loud channels together stay loud and keep their sign.
    EXPECT_EQ(mixer_output_word(720), 0x7F00);
    EXPECT_EQ(mixer_output_word(960), 0x7F00);
    EXPECT_EQ(mixer_output_word(-720), 0x80FF);
    for (int32_t s = -512; s <= 511; ++s)
        ASSERT_EQ(mixer_output_word(s), uint16_t((((s >> 2) & 0xFF) << 8) | ((s >> 10) & 0xFF))) << s;
}

struct MixerTest : ::testing::Test {
    void SetUp() override { mixer_reset(); }
    void TearDown() override { mixer_reset(); }
};

TEST_F(MixerTest, SquareWavePatternsAndSums) {
    mixer_set_channel(0, 11025, 240);
    mixer_generate(8);
    const int16_t hi = int16_t(0x3C00), lo = int16_t(0xC4FF);
    const int16_t want[8] = {hi, 0, lo, 0, hi, 0, lo, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(mixer.mix_buffer[i], want[i]) << i;
    EXPECT_EQ(mixer.channel_phase[0], 0u);
    // Three channels in phase sum past the range and are clamped, not wrapped.
    mixer_reset();
    for (int ch = 0; ch < 3; ++ch) mixer_set_channel(ch, 11025, 240);
    mixer_generate(4);
    EXPECT_EQ(uint16_t(mixer.mix_buffer[0]), 0x7F00);
    EXPECT_EQ(uint16_t(mixer.mix_buffer[2]), 0x80FF);
    // A silent level or frequency adds nothing; the phase carries over between fills.
    mixer_reset();
    mixer_set_channel(0, 440, 0);
    mixer_set_channel(1, 0, 240);
    mixer_set_channel(2, 440, 0x10000); // only the low 16 bits count
    mixer_generate(100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(mixer.mix_buffer[i], 0);
    mixer_set_channel(0, 440, 16);
    mixer_generate(10);
    EXPECT_EQ(mixer.channel_phase[0], 6530u);
    mixer_generate(2048);
    EXPECT_EQ(mixer.channel_phase[0], (6530u + 2048u * 653u) & 0xFFFF);
}

TEST_F(MixerTest, NoiseSoundsAsNoiseAndResetRestartsIt) {
    mixer_set_channel(3, 20000, 240);
    mixer_generate(2048);
    int plus = 0, minus = 0, changes = 0;
    for (int i = 0; i < 2048; ++i) {
        uint16_t w = uint16_t(mixer.mix_buffer[i]);
        ASSERT_TRUE(w == 0x3C00 || w == 0xC4FF) << i;
        (w == 0x3C00 ? plus : minus)++;
        if (i && w != uint16_t(mixer.mix_buffer[i - 1])) ++changes;
    }
    // Not a constant level: both signs, roughly balanced, changing often.
    EXPECT_GT(plus, 600);
    EXPECT_GT(minus, 600);
    EXPECT_GT(changes, 300);
    std::vector<int16_t> first(mixer.mix_buffer, mixer.mix_buffer + 2048);
    // The reset silences every channel and brings the register back to its start.
    mixer_reset();
    EXPECT_EQ(mixer.noise_state, 1u);
    mixer_generate(16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(mixer.mix_buffer[i], 0);
    EXPECT_EQ(mixer.channel_type[3], MIXER_TYPE_NOISE);
    EXPECT_EQ(mixer.channel_type[0], MIXER_TYPE_SQUARE);
    mixer_set_channel(3, 20000, 240);
    mixer_generate(2048);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), mixer.mix_buffer));
}

TEST_F(MixerTest, FillPutsEachSampleOnBothSidesAndRendersLongChunks) {
    mixer_set_channel(0, 11025, 240);
    std::vector<uint8_t> chunk(3000 * 4, 0xAA);
    audio_fill(nullptr, chunk.data(), 3000);
    for (size_t i = 0; i < 3000; ++i) {
        // Low byte first on both sides: +240 is 00 3C, -240 is FF C4, silence 00 00.
        static const uint8_t lo[4] = {0x00, 0x00, 0xFF, 0x00}, hi[4] = {0x3C, 0x00, 0xC4, 0x00};
        ASSERT_EQ(chunk[i * 4 + 0], lo[i % 4]) << i;
        ASSERT_EQ(chunk[i * 4 + 1], hi[i % 4]) << i;
        ASSERT_EQ(chunk[i * 4 + 2], lo[i % 4]) << i;
        ASSERT_EQ(chunk[i * 4 + 3], hi[i % 4]) << i;
    }
}

} // namespace
