// Sound end to end: our own test cartridge runs on the processor and writes the sound port, and
// the headless audio thread records what the mixer renders.
#include <gtest/gtest.h>

#include <algorithm>

#include "frontend/surface.h"
#include "machine/loader.h"
#include "platform/platform.h"
#include "sound/psg.h"
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
    int16_t top = 0, bottom = 0;
    for (size_t i = first; i < first + second; i += 2) {
        top = std::max(top, a[i]);
        bottom = std::min(bottom, a[i]);
        int sign = a[i] > 0 ? 1 : a[i] < 0 ? -1 : 0;
        if (sign == 0) continue;
        if (last_sign != 0 && sign != last_sign) ++crossings;
        last_sign = sign;
    }
    // Two crossings per period: period 254 is 440 Hz.
    EXPECT_NEAR(crossings / 2.0, 440.0, 4.4);
    EXPECT_EQ(uint16_t(top), 0x3C00); // full level, 240
    EXPECT_EQ(uint16_t(bottom), 0xC4FF);
    // After about 110 frames the cartridge silences every channel: the last 1.5 s are silent.
    size_t quiet_from = a.size() - 3 * second / 2;
    EXPECT_EQ(std::count(a.begin() + std::ptrdiff_t(quiet_from), a.end(), int16_t(0)),
              std::ptrdiff_t(a.size() - quiet_from));
}

} // namespace
