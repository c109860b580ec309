// The headless audio thread with the real mixer: fills paced by the clock, pauses that the play
// cycle can rely on, and the recording. These tests also run under ThreadSanitizer, which sees
// any fill that overlaps a mixer reset or a shared word that is not atomic.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "tests/support/test_support.h"

namespace {

HeadlessConfig recording_config(bool real_clock) {
    HeadlessConfig c;
    c.real_clock = real_clock;
    c.record_audio = true;
    return c;
}

void start(bool real_clock) {
    headless_reset(recording_config(real_clock));
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    mixer_reset();
}

TEST(AudioThread, PauseResetAndResumeBetweenGamesNeverOverlapAFill) {
    start(true);
    size_t heard = 0;
    for (int game = 0; game < 12; ++game) {
        audio_set_paused(0);
        // The emulation changes the channels while the thread fills.
        for (int k = 0; k < 20; ++k) {
            mixer_set_channel(k & 3, (200 + 37 * k + game) * PSG_FREQUENCY_SCALE, PSG_LEVEL[k % 16]);
            std::this_thread::sleep_for(std::chrono::microseconds(1500));
        }
        audio_set_paused(1);
        audio_wait_paused();
        size_t before = headless_audio().size();
        heard = before;
        mixer_reset();
        // Paused means no fill at all, not only none during the reset.
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        EXPECT_EQ(headless_audio().size(), before);
    }
    EXPECT_GT(heard, 0u);
    EXPECT_EQ(heard % (HEADLESS_AUDIO_CHUNK_FRAMES * 2), 0u);
    headless_audio_stop();
}

TEST(AudioThread, VirtualClockFillsEachChunkAsItsBoundaryPasses) {
    start(false);
    mixer_set_channel(0, 11025 * PSG_FREQUENCY_SCALE, PSG_FULL_LEVEL);
    timer_delay(1000); // paused: nothing is pulled
    EXPECT_TRUE(headless_audio().empty());
    audio_set_paused(0);
    timer_ticks(); // the count starts at the resume
    timer_delay(1000);
    const size_t chunk = HEADLESS_AUDIO_CHUNK_FRAMES * 2;
    // From 1.0001 s to 2.0001 s the boundaries of chunks 87..172 pass.
    EXPECT_EQ(headless_audio().size(), (172 - 86) * chunk);
    for (int i = 0; i < 1000; ++i) timer_ticks(); // 100 ms of polls
    EXPECT_EQ(headless_audio().size(), (180 - 86) * chunk);
    audio_set_paused(1);
    audio_wait_paused();
    timer_delay(500);
    EXPECT_EQ(headless_audio().size(), (180 - 86) * chunk);
    const std::vector<int16_t> a = headless_audio();
    headless_audio_stop();
    // Both sides carry the sound the mixer makes from its reset, chunk after chunk.
    mixer_reset();
    mixer_set_channel(0, 11025 * PSG_FREQUENCY_SCALE, PSG_FULL_LEVEL);
    for (size_t i = 0; i < a.size(); i += 2) {
        size_t k = (i / 2) % HEADLESS_AUDIO_CHUNK_FRAMES;
        if (k == 0) mixer_generate(HEADLESS_AUDIO_CHUNK_FRAMES);
        ASSERT_EQ(a[i], mixer.mix_buffer[k]) << i;
        ASSERT_EQ(a[i + 1], mixer.mix_buffer[k]) << i;
    }
    EXPECT_TRUE(std::any_of(a.begin(), a.end(), [](int16_t s) { return s != 0; }));
    mixer_reset();
}

TEST(AudioThread, WavFileAndVolumeWord) {
    TempFolder dir;
    std::string path = dir.path + "/out.wav";
    ASSERT_TRUE(write_wav_stereo16(path, {0x3C00, int16_t(0xC4FF), 1, -1}));
    std::vector<uint8_t> f = read_file(path);
    ASSERT_EQ(f.size(), 44u + 8u);
    const uint8_t header[44] = {'R',  'I', 'F', 'F', 44, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                                ' ',  16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
                                0x02, 0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  8,    0,   0,   0};
    for (int i = 0; i < 44; ++i) EXPECT_EQ(f[size_t(i)], header[i]) << i;
    const uint8_t data[8] = {0x00, 0x3C, 0xFF, 0xC4, 0x01, 0x00, 0xFF, 0xFF};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(f[44 + size_t(i)], data[i]) << i;
    EXPECT_FALSE(write_wav_stereo16(dir.path + "/no/such/folder.wav", {}));
    audio_set_volume(100, 100);
    EXPECT_EQ(headless_audio_volume(), 0x5050u);
    audio_set_volume(50, 50);
    EXPECT_EQ(headless_audio_volume(), 0x2828u);
    audio_set_volume(0, 0);
    EXPECT_EQ(headless_audio_volume(), 0u);
}

} // namespace
