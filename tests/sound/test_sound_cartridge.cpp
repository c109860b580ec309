// Sound end to end: our own test cartridge runs on the processor and writes the sound port, and
// the headless audio thread records what the mixer renders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "frontend/surface.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "tests/sound/sound_analysis.h"
#include "tests/support/test_support.h"
#include "video/vdp.h"

namespace {

// The least start-up a cartridge needs: interrupts off, a stack, then the start address. The
// bundled boot ROM's own entry code runs into its RST 08h vector, so this test carries its own.
std::vector<uint8_t> starter_bios() {
    std::vector<uint8_t> b(8192, 0xFF);
    const uint8_t code[] = {0xF3, 0x31, 0x00, 0x74,
                            0x2A, 0x0A, 0x80, 0xE9}; // di; ld sp; ld hl, (0x800A); jp (hl)
    std::copy(std::begin(code), std::end(code), b.begin());
    return b;
}

// Plays `rom` (a test cartridge of this folder) from a fresh card until SELECT at `select_ms` of
// the virtual clock, as the play cycle would, and returns the recorded samples.
std::vector<int16_t> play(const std::string& rom, uint32_t select_ms) {
    TempFolder card;
    std::string roms = card.rom_folder();
    write_file(roms + "/coleco.rom", starter_bios());
    write_file(roms + "/game.rom", read_file(std::string(VELKORO_BUILD_DIR) + "/tests/sound/roms/" + rom));
    HeadlessConfig c = test_config(card.path);
    c.record_audio = true;
    c.presses.push_back({BTN_SELECT, select_ms, 0xFFFFFFFFu});
    headless_reset(c);
    // The same frames every run: pacing and the skip phase start from scratch.
    last_present_ms = last_present_sixtieths = 0;
    skip_countdown = 0;
    std::vector<uint8_t> picture(VDP_PICTURE_BYTES);
    vdp_picture = picture.data();
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    screen_surface = Surface{display_drawing_pointer(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, DISPLAY_HEIGHT};
    mixer_reset();
    audio_set_paused(0);
    EXPECT_EQ(run_cartridge("/mnt/sd/roms/colecovision/game.rom"), 1);
    audio_set_paused(1);
    audio_wait_paused();
    mixer_reset();
    release_machine();
    vdp_picture = nullptr;
    return headless_audio();
}

// The chip's pitch of a tone period.
double chip_pitch(int period) { return 3579545.0 / (32.0 * period); }

TEST(SoundCartridge, ToneIsASquareWaveOfItsFrequencyAndLevelThenSilence) {
    std::vector<int16_t> a = play("tone.rom", 4000);
    const size_t second = 2 * 44100; // one second of stereo frames
    ASSERT_GE(a.size(), 3 * second);
    for (size_t i = 0; i < a.size(); i += 2) ASSERT_EQ(a[i], a[i + 1]) << "sides differ at frame " << i / 2;
    // The tone starts at the first frame end; measure over a whole second after it.
    size_t first = 0;
    while (first < a.size() && a[first] == 0) first += 2;
    ASSERT_LT(first, second / 10);
    int crossings = 0, last_sign = 0;
    for (size_t i = first; i < first + second; i += 2) {
        int sign = a[i] > 0 ? 1 : a[i] < 0 ? -1 : 0;
        if (sign == 0) continue;
        if (last_sign != 0 && sign != last_sign) ++crossings;
        last_sign = sign;
    }
    // Two crossings per period: period 254 is 440 Hz.
    EXPECT_NEAR(crossings / 2.0, 440.0, 4.4);
    // Full level, as high as low.
    std::vector<int16_t> left = left_side(a), tops, bottoms;
    for (size_t i = first / 2; i < first / 2 + 44100; ++i) (left[i] > 0 ? tops : bottoms).push_back(left[i]);
    EXPECT_NEAR(plateau(tops, {0, tops.size()}), PSG_FULL_LEVEL, 2);
    EXPECT_NEAR(plateau(bottoms, {0, bottoms.size()}), PSG_FULL_LEVEL, 2);
    // After about 110 frames the cartridge silences every channel: the last 1.5 s are silent.
    size_t quiet_from = a.size() - 3 * second / 2;
    EXPECT_EQ(std::count(a.begin() + std::ptrdiff_t(quiet_from), a.end(), int16_t(0)),
              std::ptrdiff_t(a.size() - quiet_from));
}

TEST(SoundCartridge, EveryFrameIsHeardWhateverTheFrameSkip) {
    uint8_t saved = frame_skip;
    frame_skip = 2; // one frame in two drawn: the other one's sound must still be heard
    // Channel 0 on for one frame and off for the next: 30 silences a second, each about a frame
    // long (a silence shorter than the 440 Hz tone's half-wave would not count).
    std::vector<int16_t> a = left_side(play("switch.rom", 3000));
    Span span = frames(10, 120, 0);
    size_t gaps = silent_gaps(a, span, 300);
    double per_second = double(gaps) * SOUND_RATE / double(span.to - span.from);
    std::printf("on and off by frames: %zu silences in 2 s, %.1f per second\n", gaps, per_second);
    EXPECT_NEAR(per_second, 30.0, 1.0);

    // The period changed every frame, 440 Hz and 699 Hz in turn: both pitches are heard, each
    // about half of the time.
    a = left_side(play("alternate.rom", 3000));
    double low = 0, high = 0;
    for (double h : half_waves(a, span)) {
        if (std::fabs(h - SOUND_RATE / chip_pitch(254) / 2) < 2) low += h;
        if (std::fabs(h - SOUND_RATE / chip_pitch(160) / 2) < 2) high += h;
    }
    double length = double(span.to - span.from);
    std::printf("period changed by frames: 440 Hz %.0f%%, 699 Hz %.0f%% of the time\n", 100 * low / length,
                100 * high / length);
    EXPECT_NEAR(low / length, 0.5, 0.1);
    EXPECT_NEAR(high / length, 0.5, 0.1);
    frame_skip = saved;
}

TEST(SoundCartridge, NotesAreInTuneAcrossTheRange) {
    // The cartridge plays each period for 30 frames; each is measured over some 0.45 s.
    const int periods[] = {1023, 700, 508, 254, 127, 64, 33, 17, 11, 8};
    std::vector<int16_t> a = left_side(play("pitch.rom", 6000));
    for (size_t k = 0; k < std::size(periods); ++k) {
        double wanted = chip_pitch(periods[k]);
        Span span = frames(1 + 30 * k, 30);
        // A search for the tone within a quarter tone of the wanted pitch.
        double f = wanted < SOUND_RATE / 4 ? measure_pitch(a, span)
                                           : fit_pitch(a, span, wanted / 1.03, wanted * 1.03);
        double error = cents(f, wanted);
        std::printf("period %4d: %9.3f Hz measured, %9.3f Hz wanted, %+.3f cents\n", periods[k], f,
                    chip_pitch(periods[k]), error);
        EXPECT_LT(std::fabs(error), 1.0) << "period " << periods[k];
    }
}

TEST(SoundCartridge, LevelsFallTwoDecibelsPerStep) {
    // Attenuations 0..15, 12 frames each, on a 220 Hz tone.
    std::vector<int16_t> a = left_side(play("levels.rom", 4000));
    int32_t full = plateau(a, frames(1, 12));
    EXPECT_NEAR(full, PSG_FULL_LEVEL, 2);
    for (int att = 1; att < 15; ++att) {
        int32_t level = plateau(a, frames(1 + 12 * size_t(att), 12));
        double db = 20 * std::log10(double(level) / full);
        std::printf("attenuation %2d: peak %5d, %+.3f dB\n", att, level, db);
        EXPECT_NEAR(db, -2.0 * att, 0.1) << "attenuation " << att;
    }
    EXPECT_EQ(peak(a, frames(1 + 12 * 15, 12)), 0); // 15 is silence
}

TEST(SoundCartridge, NoiseSoundsFromItsFirstByteAtTheChipsRates) {
    // 0xE4 picks rate 0, which a fresh chip already has, then 0xF0 turns the noise up: it must
    // sound at once. Each rate lasts 120 frames. A white noise register changes its output at
    // about every second shift, so the sign changes half as often as the register shifts.
    std::vector<int16_t> a = left_side(play("noise.rom", 9000));
    const double shift_rate[4] = {3579545.0 / 512, 3579545.0 / 1024, 3579545.0 / 2048, chip_pitch(20)};
    for (size_t rate = 0; rate < 4; ++rate) {
        Span span = frames(1 + 120 * rate, 120);
        EXPECT_NEAR(plateau(a, span), PSG_FULL_LEVEL, PSG_FULL_LEVEL / 20) << "rate " << rate;
        double changes = sign_changes_per_second(a, span);
        std::printf("noise rate %zu: %.0f sign changes per second, %.0f expected\n", rate, changes,
                    shift_rate[rate] / 2);
        EXPECT_NEAR(changes / (shift_rate[rate] / 2), 1.0, 0.05) << "rate " << rate;
    }
    EXPECT_EQ(peak(a, frames(1 + 480, 60)), 0);
}

} // namespace
