// The handheld's adapter on the simulated handheld: start-up, the screen ring, buttons and timer,
// the audio thread, shut-down and the processor check. The sound source here is the test's own
// audio_fill, which stamps every frame it renders with the pass that rendered it.
//
// Device request numbers are checked against the kernel's own headers; the display registers'
// values are the handheld's (only the device itself can show what they do).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "frontend/ui.h"
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/sim/sim.h"
#include "platform/gp2x/system.h"
#include "platform/platform.h"

// Last: their request macros name the same requests as the adapter's constants.
#include <linux/fb.h>
#include <linux/soundcard.h>

namespace {

struct Fill {
    uint8_t* destination;
    uint32_t count;
};

std::mutex fills_lock;
std::vector<Fill> fills;
std::atomic<uint32_t> pause_during_fill{0}; // the pass (1-based) that sets the pause flag

// The bytes pass `serial` (1-based) renders: frame i of it is the word serial << 12 | i on both
// sides, little-endian.
std::vector<uint8_t> rendered(uint32_t serial, uint32_t frames) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < frames; ++i) {
        uint16_t w = uint16_t((serial << 12) | (i & 0xFFF));
        for (int side = 0; side < 2; ++side) {
            out.push_back(uint8_t(w & 0xFF));
            out.push_back(uint8_t(w >> 8));
        }
    }
    return out;
}

size_t fill_count() {
    std::lock_guard<std::mutex> guard(fills_lock);
    return fills.size();
}

void forget_fills() {
    std::lock_guard<std::mutex> guard(fills_lock);
    fills.clear();
}

} // namespace

void audio_fill(void*, uint8_t* destination, uint32_t count) {
    uint32_t serial;
    {
        std::lock_guard<std::mutex> guard(fills_lock);
        fills.push_back({destination, count});
        serial = uint32_t(fills.size());
    }
    std::vector<uint8_t> bytes = rendered(serial, count);
    std::copy(bytes.begin(), bytes.end(), destination);
    if (serial == pause_during_fill.load()) audio_set_paused(1);
}

namespace {

constexpr uint32_t FB0 = 0x03101000;
constexpr uint32_t FB1 = 0x03381000;
constexpr uint32_t TICKS_PER_MS = 7372;

class Gp2x : public ::testing::Test {
  protected:
    void SetUp() override {
        config.dsp_stepped = true;
        config.fb_phys[0] = FB0;
        config.fb_phys[1] = FB1;
        sim_reset(config);
        platform_state_reset();
        forget_fills();
        pause_during_fill = 0;
    }
    void TearDown() override {
        if (started) shut_down();
        platform_state_reset();
    }
    void start(int32_t bits_per_pixel = 16) {
        platform_init(1000, bits_per_pixel, 44100, 16, 2, 60, 1);
        started = true;
    }
    void shut_down() {
        sim_dsp_free();
        platform_shutdown();
        started = false;
    }
    // Applies a changed configuration to the simulated handheld before start-up.
    void reconfigure() { sim_reset(config); }

    SimConfig config;
    bool started = false;
};

std::vector<SimEvent> ioctls_on(const std::string& device) {
    std::vector<SimEvent> out;
    for (const SimEvent& e : sim_events(SimOp::IOCTL))
        if (e.path == device) out.push_back(e);
    return out;
}

// --- Start-up ---

TEST_F(Gp2x, StartUpOpensMapsAndProgramsTheDisplay) {
    sim_set_reg16(0x0904, 0xFFFF);
    start();

    std::vector<SimEvent> opens = sim_events(SimOp::OPEN);
    ASSERT_EQ(opens.size(), 6u);
    EXPECT_EQ(opens[0].path, "/proc/cpuinfo");
    const char* devices[5] = {"/dev/fb0", "/dev/fb1", "/dev/mem", "/dev/dsp", "/dev/mixer"};
    const int flags[5] = {2, 2, 2, 1, 2};
    for (int d = 0; d < 5; ++d) {
        EXPECT_EQ(opens[size_t(d) + 1].path, devices[d]);
        EXPECT_EQ(opens[size_t(d) + 1].value, flags[d]);
    }

    // Cursor, the eight video-layer buffers, upper memory, registers, then the frame buffers.
    std::vector<SimEvent> maps = sim_events(SimOp::MMAP);
    ASSERT_EQ(maps.size(), 13u);
    EXPECT_EQ(maps[0].offset, 0x03DA4000u);
    EXPECT_EQ(maps[0].length, 0x4000u);
    const uint32_t layers[8] = {0x03DA8000, 0x03DF3000, 0x03E3E000, 0x03E89000,
                                0x03ED4000, 0x03F1F000, 0x03F6A000, 0x03FB5000};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(maps[size_t(k) + 1].offset, layers[k]);
        EXPECT_EQ(maps[size_t(k) + 1].length, 0x4B000u);
    }
    EXPECT_EQ(maps[9].offset, 0x03000000u);
    EXPECT_EQ(maps[9].length, 0x00DA4000u);
    EXPECT_EQ(maps[10].offset, 0xC0000000u);
    EXPECT_EQ(maps[10].length, 0x10000u);
    for (int m = 0; m <= 10; ++m) {
        EXPECT_EQ(maps[size_t(m)].path, "/dev/mem");
        EXPECT_EQ(maps[size_t(m)].value, (3 << 8) | 1) << "read-write, shared";
    }
    EXPECT_EQ(maps[11].path, "/dev/fb0");
    EXPECT_EQ(maps[12].path, "/dev/fb1");
    EXPECT_EQ(maps[12].length, 0x25800u);
    EXPECT_EQ(maps[12].value, (2 << 8) | 1) << "write-only, shared";

    // Once-only set-up.
    EXPECT_EQ(sim_reg16(0x3B48), 0x0083);
    EXPECT_EQ(sim_reg16(0x0904), 0xFFFE);
    EXPECT_EQ(sim_reg16(0x0F16), 0x830A);
    EXPECT_EQ(sim_reg16(0x0F58), 0x100C);
    std::vector<SimEvent> sleeps = sim_events(SimOp::SLEEP);
    ASSERT_EQ(sleeps.size(), 2u);
    EXPECT_EQ(sleeps[0].value, 100000);
    EXPECT_EQ(sleeps[1].value, 100000);

    // The RGB layer: 640 bytes a line, 16 bits per pixel, 1:1 scale, region 0 over the whole
    // screen without blending, the other regions off.
    for (uint32_t r : {0x28BEu, 0x28BCu, 0x2894u, 0x2892u}) EXPECT_EQ(sim_reg16(r), 0x0500) << std::hex << r;
    EXPECT_EQ(sim_reg16(0x2884), 0);
    EXPECT_EQ(sim_reg16(0x290C), 640);
    EXPECT_EQ(sim_reg16(0x28DA), 0x04AB);
    EXPECT_EQ(sim_reg16(0x2906), 0x0400);
    EXPECT_EQ(sim_reg32(0x2908), 640u);
    EXPECT_EQ(sim_reg16(0x2902), 0);
    EXPECT_EQ(sim_reg16(0x2904), 0);
    EXPECT_EQ(sim_reg16(0x28DE) & 0xF, 15);
    EXPECT_EQ(sim_reg16(0x28DC) & 3, 0);
    EXPECT_EQ(sim_reg16(0x28E2), 0);
    EXPECT_EQ(sim_reg16(0x28E4), 319);
    EXPECT_EQ(sim_reg16(0x28E6), 0);
    EXPECT_EQ(sim_reg16(0x28E8), 239);
    uint16_t overlay = sim_reg16(0x2880);
    EXPECT_EQ(overlay & 0x007C, 0x007C) << "region enables";
    EXPECT_EQ(overlay & (1 << 9), 0) << "no cursor";
    EXPECT_EQ(overlay & (1 << 12), 0);
    EXPECT_EQ(overlay & 3, 0) << "video layers off";

    // Video layers: scales, and each layer's address registers on the first of its buffers.
    for (uint32_t r : {0x2886u, 0x2888u, 0x28B0u, 0x28B2u}) EXPECT_EQ(sim_reg16(r), 0x0400);
    for (uint32_t r : {0x288Au, 0x288Eu, 0x28B4u, 0x28B8u}) EXPECT_EQ(sim_reg16(r), 0x0280);
    for (uint32_t r : {0x288Cu, 0x2890u, 0x28B6u, 0x28BAu}) EXPECT_EQ(sim_reg16(r), 0);
    const uint32_t layer_regs[4] = {0x28A0, 0x28A8, 0x28CA, 0x28D2};
    for (int l = 0; l < 4; ++l)
        for (uint32_t field : {0u, 4u}) {
            EXPECT_EQ(sim_reg16(layer_regs[l] + field), layers[2 * l] & 0xFFFF);
            EXPECT_EQ(sim_reg16(layer_regs[l] + field + 2), layers[2 * l] >> 16);
        }

    // The identity gamma ramp: 512 writes.
    std::vector<uint16_t> gamma = sim_port_writes(0x295E);
    ASSERT_EQ(gamma.size(), 512u);
    for (uint16_t i = 0; i < 256; ++i) {
        EXPECT_EQ(gamma[2 * i], uint16_t(i << 8 | i));
        EXPECT_EQ(gamma[2 * i + 1], i);
    }
    EXPECT_EQ(sim_reg16(0x295C), 0);

    // The cursor: 16 x 16, centred, its bitmap at 0x03DA4000.
    EXPECT_EQ(sim_reg16(0x291E), 16);
    EXPECT_EQ(sim_reg16(0x2920), 152);
    EXPECT_EQ(sim_reg16(0x2922), 112);
    for (uint32_t field : {0x292Cu, 0x2930u}) {
        EXPECT_EQ(sim_reg16(field), 0x4000);
        EXPECT_EQ(sim_reg16(field + 2), 0x03DA);
    }

    // The ring shows fb0 first and the program draws into fb1.
    EXPECT_EQ(sim_reg16(0x290E), FB0 & 0xFFFF);
    EXPECT_EQ(sim_reg16(0x2910), FB0 >> 16);
    EXPECT_EQ(display_drawing_pointer(), sim_frame_buffer(1));
}

TEST_F(Gp2x, CursorBitmapIsAnArrowAtTwoBitsPerPixel) {
    start();
    const std::vector<uint8_t>& area = sim_memory(0x03DA4000);
    ASSERT_GE(area.size(), 64u);
    // Four pixels a byte, the first in the lowest bits.
    auto pixel = [&](int x, int y) { return (area[size_t(y * 4 + x / 4)] >> (2 * (x % 4))) & 3; };
    EXPECT_EQ(pixel(0, 0), 0) << "the tip is outlined";
    EXPECT_EQ(pixel(1, 0), 2) << "right of the tip is transparent";
    EXPECT_EQ(pixel(1, 2), 1) << "filled inside";
    EXPECT_EQ(pixel(15, 15), 2);
    int filled = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) filled += pixel(x, y) == 1;
    EXPECT_GT(filled, 20);
    // Wider towards the bottom, as an arrow is.
    auto width = [&](int y) {
        int w = 0;
        for (int x = 0; x < 16; ++x) w += pixel(x, y) != 2;
        return w;
    };
    EXPECT_LT(width(1), width(8));
}

TEST_F(Gp2x, OssRequestsComeInOrderWithTheirValues) {
    start();
    std::vector<SimEvent> mixer = ioctls_on("/dev/mixer");
    ASSERT_EQ(mixer.size(), 1u);
    EXPECT_EQ(mixer[0].request, uint32_t(SOUND_MIXER_WRITE_PCM));
    EXPECT_EQ(mixer[0].value, 0x5050);
    std::vector<SimEvent> dsp = ioctls_on("/dev/dsp");
    ASSERT_EQ(dsp.size(), 5u);
    const uint32_t requests[5] = {uint32_t(SNDCTL_DSP_SPEED), uint32_t(SNDCTL_DSP_SETFMT),
                                  uint32_t(SNDCTL_DSP_STEREO), uint32_t(SNDCTL_DSP_SETFRAGMENT),
                                  uint32_t(SNDCTL_DSP_GETOSPACE)};
    const int64_t values[4] = {44100, AFMT_S16_LE, 2, 0x00080007};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(dsp[i].request, requests[i]) << i;
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(dsp[i].value, values[i]) << i;
    // The mixer is set before the frame buffers are asked for their addresses, the audio
    // device after.
    std::vector<SimEvent> all = sim_events(SimOp::IOCTL);
    EXPECT_EQ(all.front().path, "/dev/mixer");
    EXPECT_EQ(all[1].path, "/dev/fb0");
    EXPECT_EQ(all[2].path, "/dev/fb1");
    EXPECT_EQ(all[1].request, uint32_t(FBIOGET_FSCREENINFO));
}

TEST_F(Gp2x, SecondStartUpRepeatsOnlyWhatIsNotOnceOnly) {
    for (uint32_t r = 0x291E; r <= 0x2932; r += 2) sim_set_reg16(r, uint16_t(0xA000 + r));
    start();
    uint32_t ticks = platform_state.ticks_per_ms;
    EXPECT_EQ(ticks, TICKS_PER_MS);
    // Registers change behind the program's back; a second start-up must not save them again.
    for (uint32_t r = 0x291E; r <= 0x2932; r += 2) sim_set_reg16(r, 0x5555);
    display_drawing_pointer()[7] = 0x1234;
    platform_init(500, 16, 22050, 16, 2, 60, 1);
    EXPECT_EQ(platform_state.ticks_per_ms, ticks);
    EXPECT_EQ(sim_events(SimOp::THREAD_START).size(), 1u);
    EXPECT_EQ(sim_events(SimOp::ATEXIT).size(), 1u);
    EXPECT_EQ(sim_events(SimOp::OPEN).size(), 6u) << "open devices are not reopened";
    EXPECT_EQ(sim_port_writes(0x295E).size(), 512u) << "the gamma ramp is loaded once";
    EXPECT_EQ(sim_frame_buffer(1)[7], 0) << "both buffers cleared";
    EXPECT_EQ(display_drawing_pointer(), sim_frame_buffer(1)) << "the ring restarts";
    std::vector<SimEvent> dsp = ioctls_on("/dev/dsp");
    ASSERT_EQ(dsp.size(), 8u) << "format again, fragments not";
    EXPECT_EQ(dsp[5].value, 22050);

    shut_down();
    const std::vector<uint8_t>& regs = sim_registers_at_unmap();
    ASSERT_FALSE(regs.empty());
    for (uint32_t r = 0x291E; r <= 0x2932; r += 2) {
        uint16_t v = uint16_t(regs[r] | regs[r + 1] << 8);
        EXPECT_EQ(v, uint16_t(0xA000 + r)) << "restored from the first save: " << std::hex << r;
    }
}

// --- The screen ring ---

TEST_F(Gp2x, TheSingleFlipShowsFb1AndFourFlipsComeBackRound) {
    start();
    uint16_t* drawing = display_drawing_pointer();
    display_flip(0);
    for (uint32_t low : {0x290Eu, 0x2912u}) {
        EXPECT_EQ(sim_reg16(low), FB1 & 0xFFFF);
        EXPECT_EQ(sim_reg16(low + 2), FB1 >> 16);
    }
    EXPECT_EQ(sim_shown_buffer(), sim_frame_buffer(1));
    EXPECT_EQ(drawing, sim_frame_buffer(1)) << "what the program drew into is what is shown";
    uint16_t* after_one = display_drawing_pointer();
    EXPECT_EQ(after_one, sim_frame_buffer(0));
    const uint16_t* shown[4];
    for (int i = 0; i < 4; ++i) {
        display_flip(0);
        shown[i] = sim_shown_buffer();
    }
    EXPECT_EQ(shown[0], sim_frame_buffer(0));
    EXPECT_EQ(shown[1], sim_frame_buffer(1));
    EXPECT_EQ(shown[2], sim_frame_buffer(0));
    EXPECT_EQ(shown[3], sim_frame_buffer(1));
    EXPECT_EQ(display_drawing_pointer(), after_one);
}

TEST_F(Gp2x, RgbRegionValuesSetAlphaBlendAndEnables) {
    start();
    display_set_rgb_regions(0x10, 7, -1, 0x20, 100, 50);
    EXPECT_EQ(sim_reg16(0x28DE) & 0xFFF, 0x07F) << "alpha: 15 for 0x10, 7";
    EXPECT_EQ(sim_reg16(0x28E0) & 0xF, 15);
    EXPECT_EQ(sim_reg16(0x28DC) & 0xFF, (2 << 6) | (2 << 2) | 1) << "blend fields";
    EXPECT_EQ(sim_reg16(0x28DA) & 0xFF, 0xAB | 0xCF) << "regions 0, 1 and 3 on";
    // Region 1's window: x from the split to 319, y from 0 to the split; region 3's the corner.
    EXPECT_EQ(sim_reg16(0x28EA), 100);
    EXPECT_EQ(sim_reg16(0x28EC), 319);
    EXPECT_EQ(sim_reg16(0x28F0), 50);
    EXPECT_EQ(sim_reg16(0x28FA), 100);
    EXPECT_EQ(sim_reg16(0x28FE), 50);
    EXPECT_EQ(sim_reg16(0x2900), 239);
    // A negative value clears only the region's enable bit 2r.
    sim_set_reg16(0x28DA, 0xFFFF);
    display_set_rgb_regions(0x11, -1, -1, -1, 319, 239);
    EXPECT_EQ(sim_reg16(0x28DA), 0xFFFF & ~((1 << 2) | (1 << 4) | (1 << 6)));
}

// --- Buttons and timer ---

TEST_F(Gp2x, ButtonWordFromThePorts) {
    start();
    auto buttons = [](uint16_t stick, uint16_t button_port, uint16_t extra = 0xFFFF) {
        sim_set_reg16(0x1198, stick);
        sim_set_reg16(0x1184, button_port);
        sim_set_reg16(0x1186, extra);
        return read_buttons();
    };
    EXPECT_EQ(buttons(0xFFFF, 0xFFFF), 0u);
    EXPECT_EQ(buttons(0xFFFE, 0xFFFF), uint32_t(BTN_UP));
    EXPECT_EQ(buttons(0xFFFD, 0xFFFF), uint32_t(BTN_UP | BTN_LEFT)) << "a lone diagonal splits";
    EXPECT_EQ(buttons(0xFFF7, 0xFFFF), uint32_t(BTN_LEFT | BTN_DOWN));
    EXPECT_EQ(buttons(0xFFDF, 0xFFFF), uint32_t(BTN_DOWN | BTN_RIGHT));
    EXPECT_EQ(buttons(0xFF7F, 0xFFFF), uint32_t(BTN_UP | BTN_RIGHT));
    EXPECT_EQ(buttons(0xFFFD, 0xDFFF), uint32_t(BTN_UP | BTN_LEFT | BTN_B))
        << "only the stick's pattern counts";
    EXPECT_EQ(buttons(0xFFFC, 0xFFFF), uint32_t(BTN_UP | BTN_UP_LEFT)) << "not a lone diagonal";
    EXPECT_EQ(buttons(0x00FF, 0xFF00), 0u)
        << "the stick's high byte and the button port's low byte are not read";
    EXPECT_EQ(buttons(0xFFFF, 0x7EFF), uint32_t(BTN_Y | BTN_START));
    EXPECT_EQ(buttons(0xFFFF, 0xFFFF, 0xFFFE), 0x10000u) << "the extra port in the high half";
    EXPECT_EQ(read_pad(), 0) << "read_pad keeps the low half";
    buttons(0xFFBF, 0xEFFF);
    EXPECT_EQ(read_pad(), BTN_RIGHT | BTN_A);
    // No keypad and no second player on the handheld, whatever the ports show.
    buttons(0x0000, 0x0000, 0x0000);
    EXPECT_EQ(read_keypad(0), KEYPAD_NONE);
    EXPECT_EQ(read_keypad(1), KEYPAD_NONE);
    EXPECT_EQ(read_second_pad(), 0);
}

TEST_F(Gp2x, TimerTicksAreContinuousAcrossTheCounterWrap) {
    start();
    sim_set_reg32(0x0A00, 0xFFFFFFFFu - 25 * TICKS_PER_MS);
    uint32_t previous = timer_ticks();
    for (int step = 0; step < 10; ++step) {
        sim_set_reg32(0x0A00, sim_reg32(0x0A00) + 10 * TICKS_PER_MS);
        uint32_t now = timer_ticks();
        EXPECT_EQ(now - previous, 10u) << "step " << step;
        previous = now;
    }
}

TEST_F(Gp2x, WithoutTheRegisterBlockTheClockFollowsTheTimeOfDay) {
    config.failing_mem_maps.insert(0xC0000000);
    reconfigure();
    start();
    // Late 2023 in microseconds: times the counter's 7,372,800 a second it does not fit 64 bits.
    constexpr uint64_t NOW_US = 1700000000ull * 1000000;
    for (uint64_t later_ms : {1000ull, 3600000ull, 86400000ull, 40 * 86400000ull}) {
        sim_config().clock_origin_us = NOW_US;
        uint32_t t0 = timer_ticks();
        sim_config().clock_origin_us = NOW_US + later_ms * 1000;
        // The clock's millisecond is 7372 counts, 0.01 % short of a real one.
        EXPECT_NEAR(double(timer_ticks() - t0), double(later_ms), double(later_ms) * 0.0002 + 1) << later_ms;
    }
}

TEST_F(Gp2x, TimerDelayWaitsTheFullTime) {
    start();
    config.counter_step = TICKS_PER_MS / 10;
    sim_config().counter_step = config.counter_step;
    uint32_t polls = 0;
    sim_config().on_poll = [&] { ++polls; };
    timer_delay(0);
    EXPECT_EQ(polls, 0u) << "a delay of 0 returns at once";
    for (uint32_t start_count : {0x1000u, 0xFFFFFFFFu - 20 * TICKS_PER_MS}) {
        sim_set_reg32(0x0A00, start_count);
        polls = 0;
        timer_delay(50);
        uint64_t waited = uint64_t(polls) * config.counter_step;
        EXPECT_GE(waited, 50u * TICKS_PER_MS) << std::hex << start_count;
        EXPECT_LT(waited, 50u * TICKS_PER_MS + config.counter_step);
    }
}

TEST_F(Gp2x, WaitForButtonsTimesOutOnTheCounter) {
    start();
    sim_config().counter_step = TICKS_PER_MS / 10;
    uint32_t t0 = timer_ticks();
    EXPECT_EQ(ui_wait_buttons(90), 0);
    EXPECT_EQ(timer_ticks() - t0, 90u);
    // B pressed and held for 500 ms: the press counts at once, and only once: the next wait
    // runs to its limit.
    uint32_t pressed_at = sim_reg32(0x0A00);
    sim_set_reg16(0x1184, 0xDFFF);
    sim_config().on_poll = [pressed_at] {
        if (sim_reg32(0x0A00) - pressed_at >= 500 * TICKS_PER_MS) sim_set_reg16(0x1184, 0xFFFF);
    };
    t0 = timer_ticks();
    EXPECT_EQ(ui_wait_buttons(90), BTN_B);
    EXPECT_LE(timer_ticks() - t0, 1u);
    t0 = timer_ticks();
    EXPECT_EQ(ui_wait_buttons(90), 0);
    EXPECT_GE(timer_ticks() - t0, 90u);
    EXPECT_LE(timer_ticks() - t0, 91u);
}

// --- Audio ---

TEST_F(Gp2x, VolumeWords) {
    start();
    auto volume = [](int32_t a, int32_t b) {
        audio_set_volume(a, b);
        return ioctls_on("/dev/mixer").back().value;
    };
    EXPECT_EQ(volume(100, 100), 0x5050);
    EXPECT_EQ(volume(0, 0), 0);
    EXPECT_EQ(volume(50, 50), 0x2828);
    EXPECT_EQ(volume(100, 0), 0x5000) << "the first percentage in the high byte";
    EXPECT_EQ(volume(0, 99), 0x004F) << "truncated";
    EXPECT_EQ(volume(-20, 250), 0x0050) << "out-of-range percentages are held to 0..100";
}

TEST_F(Gp2x, NoFillWhilePaused) {
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(fill_count(), 0u);
    EXPECT_TRUE(sim_dsp_writes().empty());
    EXPECT_GT(platform_state.paused_looks.load(), 0u) << "the paused thread keeps looking at the flag";
}

TEST_F(Gp2x, EightPassesComeBackRoundAndEveryWrittenByteWasRendered) {
    start();
    audio_set_paused(0);
    ASSERT_TRUE(sim_dsp_grant(17));
    audio_set_paused(1);
    sim_dsp_free();
    audio_wait_paused();
    std::vector<Fill> f;
    {
        std::lock_guard<std::mutex> guard(fills_lock);
        f = fills;
    }
    std::vector<std::vector<uint8_t>> writes = sim_dsp_writes();
    ASSERT_GE(f.size(), 17u);
    ASSERT_GE(writes.size(), 17u);
    // F = 128 bytes from the device, 8 bytes a frame in the ring: 1024-byte chunks.
    for (const auto& w : writes) ASSERT_EQ(w.size(), 1024u);
    for (const Fill& fill : f) EXPECT_EQ(fill.count, 256u) << "a chunk's worth of four-byte frames";
    for (size_t i = 1; i < 8; ++i) EXPECT_EQ(f[i].destination - f[i - 1].destination, 2048) << i;
    EXPECT_EQ(f[8].destination, f[0].destination);
    EXPECT_EQ(f[16].destination, f[0].destination);
    // The play position runs one ahead: a pass writes what was filled seven passes earlier, and
    // the first seven writes are silence, never stale memory.
    for (size_t k = 0; k < 7; ++k)
        EXPECT_EQ(std::count(writes[k].begin(), writes[k].end(), 0), 1024) << "write " << k;
    for (size_t k = 7; k < 17; ++k) EXPECT_EQ(writes[k], rendered(uint32_t(k - 6), 256)) << "write " << k;
}

// A chunk waits in the ring for the passes between its fill and its write, and each pass lasts
// one chunk of the device's time; whatever fragment size the device reports, that wait stays
// within about 50 ms.
TEST_F(Gp2x, SoundIsWrittenWithin50MsOfItsRenderingWhateverFragmentSizeTheDeviceReports) {
    constexpr size_t PASSES = 12;
    for (int32_t fragment : {64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384}) {
        SCOPED_TRACE(fragment);
        if (started) shut_down();
        platform_state_reset();
        config.dsp_fragment = fragment;
        reconfigure();
        forget_fills();
        start();
        audio_set_paused(0);
        ASSERT_TRUE(sim_dsp_grant(PASSES));
        audio_set_paused(1);
        std::vector<std::vector<uint8_t>> writes = sim_dsp_writes();
        ASSERT_GE(writes.size(), PASSES);
        double worst_ms = 0;
        size_t sounding = 0;
        for (size_t k = 0; k < PASSES; ++k) {
            const std::vector<uint8_t>& w = writes[k];
            ASSERT_GE(w.size(), 4u);
            uint32_t frames = uint32_t(w.size() / 4);
            uint32_t serial = uint32_t(w[0] | w[1] << 8) >> 12;
            if (serial == 0) {
                EXPECT_EQ(size_t(std::count(w.begin(), w.end(), 0)), w.size()) << "write " << k;
                continue;
            }
            EXPECT_EQ(w, rendered(serial, frames)) << "write " << k;
            worst_ms = std::max(worst_ms, double(k + 1 - serial) * frames * 1000.0 / 44100.0);
            ++sounding;
        }
        EXPECT_GT(sounding, 0u);
        EXPECT_LE(worst_ms, 50.0);
        std::printf("fragment size %5d bytes: %4zu-byte writes, each %.1f ms after its rendering\n", int(fragment),
                    writes[0].size(), worst_ms);
    }
}

TEST_F(Gp2x, PauseDuringAPassTakesEffectAfterItsWrite) {
    start();
    pause_during_fill = 3;
    audio_set_paused(0);
    ASSERT_TRUE(sim_dsp_grant(3));
    audio_wait_paused();
    EXPECT_FALSE(sim_dsp_grant(1, 50)) << "no pass after the paused one";
    EXPECT_EQ(fill_count(), 3u);
    EXPECT_EQ(sim_dsp_writes().size(), 3u);
}

// --- Shut-down ---

TEST_F(Gp2x, ShutDownPutsEverythingBackAndStartsTheMenu) {
    for (uint32_t r = 0x2880; r <= 0x2932; r += 2) sim_set_reg16(r, uint16_t(r ^ 0x5A5A));
    sim_set_reg16(0x28DA, 0x04AB); // the menu's own 16 bits per pixel
    start(8);
    EXPECT_EQ(sim_reg16(0x290C), 320);
    EXPECT_EQ(sim_port_writes(0x295A).size(), 512u) << "the 8-bit palette";
    size_t before = sim_events().size();
    shut_down();
    std::vector<SimEvent> all = sim_events();
    std::vector<SimEvent> after(all.begin() + long(before), all.end());

    // Step by step: the start-up again with channel value 1, the thread stopped, the mappings
    // released, the handles closed, the menu started.
    std::vector<std::string> steps;
    for (const SimEvent& e : after) {
        switch (e.op) {
        case SimOp::IOCTL:
            if (e.path == "/dev/dsp") steps.push_back("dsp " + std::to_string(e.value));
            break;
        case SimOp::THREAD_WAIT: steps.push_back("stop"); break;
        case SimOp::MUNMAP: steps.push_back("unmap " + std::to_string(e.length)); break;
        case SimOp::CLOSE: steps.push_back("close " + e.path); break;
        case SimOp::CHDIR: steps.push_back("chdir " + e.path); break;
        case SimOp::EXECL: steps.push_back("exec " + e.path + " " + e.argument); break;
        default: break;
        }
    }
    // The audio thread is stopped before anything touches the sound device.
    std::vector<std::string> expected = {"stop"};
    // The second start-up releases its regions before mapping them again.
    for (uint32_t length : {0x4000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u,
                            0x4B000u, 0xDA4000u, 0x10000u, 0x25800u, 0x25800u})
        expected.push_back("unmap " + std::to_string(length));
    for (const char* s : {"dsp 44100", "dsp 16", "dsp 1"}) expected.push_back(s);
    for (uint32_t length : {0xDA4000u, 0x10000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u, 0x4B000u,
                            0x4B000u, 0x4B000u, 0x25800u, 0x25800u, 0x4000u})
        expected.push_back("unmap " + std::to_string(length));
    for (const char* s : {"close /dev/fb0", "close /dev/fb1", "close /dev/mem", "close /dev/dsp",
                          "close /dev/mixer", "chdir /usr/gp2x", "exec gp2xmenu gp2xmenu"})
        expected.push_back(s);
    EXPECT_EQ(steps, expected);

    // Every mapping made was released with its length.
    std::multiset<std::pair<const void*, uint32_t>> mapped, unmapped;
    for (const SimEvent& e : all) {
        if (e.op == SimOp::MMAP && e.address) mapped.insert({e.address, e.length});
        if (e.op == SimOp::MUNMAP) unmapped.insert({e.address, e.length});
    }
    EXPECT_EQ(mapped, unmapped);

    // The display as the menu expects it: the saved registers back where nothing rewrites them,
    // the rest reprogrammed for 16 bits per pixel whatever depth the program chose.
    const std::vector<uint8_t>& regs = sim_registers_at_unmap();
    auto at = [&](uint32_t r) { return uint16_t(regs[r] | regs[r + 1] << 8); };
    EXPECT_EQ(at(0x290C), 0x290C ^ 0x5A5A) << "restored";
    EXPECT_EQ(at(0x291E), 0x291E ^ 0x5A5A) << "restored";
    EXPECT_EQ(at(0x2932), 0x2932 ^ 0x5A5A) << "restored";
    EXPECT_EQ(at(0x28DA), 0x04AB) << "restored";
    EXPECT_EQ(at(0x2946), 2);
    EXPECT_EQ(at(0x2934), 0);
    EXPECT_EQ(at(0x2880) & ((1 << 12) | (1 << 9)), 0);
    EXPECT_EQ(at(0x2906), 0x0400);
    EXPECT_EQ(uint32_t(at(0x2908) | at(0x290A) << 16), 640u);
    EXPECT_EQ(at(0x3B48), 0x0083);
    EXPECT_EQ(sim_port_writes(0x295E).size(), 1024u) << "the identity ramp again";
}

// A device whose write does not return until the device is reset. Shut-down runs on a thread of
// the test's own, so that one that hangs fails the test: after the deadline the device is reset.
TEST_F(Gp2x, ShutDownReachesTheMenuWhenTheSoundDeviceNeverReturnsAWrite) {
    start();
    audio_set_paused(0);
    ASSERT_TRUE(sim_dsp_grant(2));
    ASSERT_TRUE(sim_dsp_wait_blocked()) << "the thread waits in its third write";
    const size_t fills_before = fill_count(), events_before = sim_events().size();
    std::atomic<bool> returned{false};
    double seconds = 0;
    std::thread shutting([&] {
        auto t0 = std::chrono::steady_clock::now();
        platform_shutdown();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        returned = true;
    });
    for (int waited_ms = 0; waited_ms < 10000 && !returned; waited_ms += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const bool in_time = returned;
    sim_dsp_free();
    shutting.join();
    started = false;
    ASSERT_TRUE(in_time) << "shut-down still waited for the audio thread after 10 s";
    std::printf("shut-down with a sound device that does not return a write: %.2f s\n", seconds);

    // The device was left alone while its write was under way, closed, and the menu started.
    std::vector<SimEvent> all = sim_events();
    std::vector<std::string> dsp, ends;
    for (size_t i = events_before; i < all.size(); ++i) {
        if (all[i].op == SimOp::IOCTL && all[i].path == "/dev/dsp") dsp.push_back(std::to_string(all[i].value));
        if (all[i].op == SimOp::CLOSE && all[i].path == "/dev/dsp") ends.push_back("close /dev/dsp");
        if (all[i].op == SimOp::EXECL) ends.push_back("exec " + all[i].path);
    }
    EXPECT_EQ(dsp, std::vector<std::string>{});
    EXPECT_EQ(ends, (std::vector<std::string>{"close /dev/dsp", "exec gp2xmenu"}));
    // Once the device lets the write go, the thread leaves without another fill.
    EXPECT_TRUE(sys_thread_wait(platform_state.audio_thread, 5000000));
    EXPECT_EQ(fill_count(), fills_before);
}

// --- The processor check ---

TEST_F(Gp2x, RefusesToStartAnywhereButTheHandheld) {
    EXPECT_TRUE(running_on_handheld());
    config.cpuinfo = "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R)\n";
    reconfigure();
    EXPECT_FALSE(running_on_handheld());
    EXPECT_EXIT(platform_init(1000, 16, 44100, 16, 2, 60, 1), ::testing::ExitedWithCode(1),
                "runs only on the GP2X");
    config.cpuinfo.clear();
    config.failing_opens.insert("/proc/cpuinfo");
    reconfigure();
    EXPECT_FALSE(running_on_handheld());
}

} // namespace
