// The whole program on the simulated handheld. Each run happens in a child process, since the
// program ends only by leaving the process: at the run's end the simulated handheld reports
// what it saw, the process exits, and platform_shutdown hands over to the (recorded) menu.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/play.h"
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/sim/sim.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"
#include "tests/support/video_memories.h"

namespace {

// B past the welcome screen, B to start the bundled card's cartridge, then play.
const std::vector<SimPress> SCRIPT = {{BTN_B, 300, 400}, {BTN_B, 800, 900}};

// After the exit handlers (and with them platform_shutdown) ran: was the menu started?
void report_menu() {
    bool chdir_done = false, exec_done = false;
    for (const SimEvent& e : sim_events()) {
        if (e.op == SimOp::CHDIR && e.path == "/usr/gp2x") chdir_done = true;
        if (e.op == SimOp::EXECL && chdir_done && e.path == "gp2xmenu" && e.argument == "gp2xmenu")
            exec_done = true;
    }
    std::fprintf(stderr, "menu %s\n", exec_done ? "started" : "missing");
}

[[noreturn]] void run_program(SimConfig c, uint32_t run_ms, std::function<void()> at_end) {
    c.program_run = true;
    c.real_atexit = true;
    c.card_folder = VELKORO_BUNDLED_CARD;
    c.presses = SCRIPT;
    c.run_ms = run_ms;
    c.at_end = std::move(at_end);
    sim_reset(c);
    platform_state_reset();
    std::atexit(report_menu);
    program_main();
    std::fprintf(stderr, "the program returned\n");
    std::exit(3);
}

bool all_zero(const uint16_t* pixels) {
    for (uint32_t i = 0; i < RGB_BUFFER_BYTES / 2; ++i)
        if (pixels[i]) return false;
    return true;
}

// What a run did, as one line: whether a cartridge is running, calls made on a handle that
// failed to open, which frame buffer the display shows, and whether each buffer holds a picture.
void report_run() {
    int failed_handle_calls = 0;
    for (const SimEvent& e : sim_events())
        if (e.op != SimOp::OPEN && e.fd < 0 &&
            (e.op == SimOp::IOCTL || e.op == SimOp::MMAP || e.op == SimOp::WRITE || e.op == SimOp::READ ||
             e.op == SimOp::CLOSE))
            ++failed_handle_calls;
    const uint16_t* shown = sim_shown_buffer();
    std::fprintf(stderr, "playing %s; failed-handle calls %d; shown %s; fb0 %s; fb1 %s\n",
                 cpu_memory && loads_failed == 0 ? "yes" : "no", failed_handle_calls,
                 shown == sim_frame_buffer(0)   ? "fb0"
                 : shown == sim_frame_buffer(1) ? "fb1"
                                                : "none",
                 all_zero(sim_frame_buffer(0)) ? "blank" : "drawn",
                 all_zero(sim_frame_buffer(1)) ? "blank" : "drawn");
}

TEST(Gp2xProgram, PlaysTheBundledCardAndShowsWhatTheHeadlessBackEndShows) {
    const std::string shot = VELKORO_GP2X_SHOT;
    std::remove(shot.c_str());
    EXPECT_EXIT(run_program(SimConfig{}, VELKORO_GP2X_RUN_MS,
                            [shot] {
                                const uint16_t* shown = sim_shown_buffer();
                                if (shown)
                                    write_png_rgb565(shot, shown, DISPLAY_WIDTH, DISPLAY_HEIGHT,
                                                     DISPLAY_WIDTH);
                                report_run();
                            }),
                ::testing::ExitedWithCode(0),
                "playing yes; failed-handle calls 0; shown fb1; fb0 blank; fb1 drawn\nmenu started");
    std::vector<uint32_t> handheld, headless;
    int w = 0, h = 0;
    ASSERT_TRUE(read_png_rgb(shot, handheld, w, h)) << "the simulated handheld's screen";
    ASSERT_TRUE(read_png_rgb(VELKORO_GP2X_REFERENCE, headless, w, h))
        << "the headless runner's screen for the same script (made by the ctest fixture)";
    ASSERT_EQ(handheld.size(), headless.size());
    size_t differing = 0;
    for (size_t i = 0; i < handheld.size(); ++i) differing += handheld[i] != headless[i];
    EXPECT_EQ(differing, 0u);
}

struct FailureCase {
    const char* name;
    void (*apply)(SimConfig&);
    const char* expected; // what report_run prints
};

const FailureCase FAILURES[] = {
    {"fb1 does not open", [](SimConfig& c) { c.failing_opens.insert("/dev/fb1"); },
     "playing yes; failed-handle calls 0; shown none; fb0 blank; fb1 blank"},
    {"fb1 does not map", [](SimConfig& c) { c.failing_fb_maps[1] = true; },
     "playing yes; failed-handle calls 0; shown fb1; fb0 blank; fb1 blank"},
    {"dsp and mixer do not open, upper memory and cursor do not map",
     [](SimConfig& c) {
         c.failing_opens.insert("/dev/dsp");
         c.failing_opens.insert("/dev/mixer");
         c.failing_mem_maps.insert(0x03000000);
         c.failing_mem_maps.insert(0x03DA4000);
     },
     "playing yes; failed-handle calls 0; shown fb1; fb0 blank; fb1 drawn"},
    // Without the register block there are no buttons: the welcome screen waits for ever, on
    // the system's clock.
    {"the register block does not map", [](SimConfig& c) { c.failing_mem_maps.insert(0xC0000000); },
     "playing no; failed-handle calls 0; shown none; fb0 blank; fb1 drawn"},
    {"mem does not open", [](SimConfig& c) { c.failing_opens.insert("/dev/mem"); },
     "playing no; failed-handle calls 0; shown none; fb0 blank; fb1 drawn"},
};

TEST(Gp2xProgram, RunsOnWithoutAFailedDeviceOrMapping) {
    for (const FailureCase& f : FAILURES) {
        SCOPED_TRACE(f.name);
        SimConfig c;
        f.apply(c);
        EXPECT_EXIT(run_program(c, 2500, report_run), ::testing::ExitedWithCode(0),
                    std::string(f.expected) + "\nmenu started");
    }
}

// The frame driver on the handheld, its clock made to run slow or fast against the emulation:
// each frame takes a set time of the handheld's clock, one for a drawn frame and one for a
// frame that is not drawn, before its frame end looks at the clock.
struct FrameSkipCase {
    const char* clock;
    uint32_t drawn_us, skipped_us;
    const char* frames; // D drawn, S not drawn
    bool keeps_pace;    // sixty frames a second of the handheld's clock
};

const FrameSkipCase FRAME_SKIP_CASES[] = {
    {"slow clock: a frame fits in its time", 12000, 6000, "DDDDDDDDD", true},
    {"fast clock: a drawn frame is a little late, a skipped one is quick", 20000, 10000, "DSDSDSDSD", true},
    {"faster clock: every frame late by more than a frame", 40000, 30000, "DSSDSSDSS", false},
};

TEST(Gp2xFrameSkip, EveryFrameDrawnWhileOnTimeAndAtMostTwoSkippedAfterALateOne) {
    constexpr uint32_t TICKS_PER_US = 7372800 / 1000000, TICKS_PER_MS = 7372800 / 1000;
    SimConfig c;
    c.counter_step = TICKS_PER_MS / 10; // each look at the clock takes 0.1 ms
    sim_reset(c);
    platform_state_reset();
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    std::vector<uint8_t> vram(VDP_VRAM_BYTES, 0), picture(VDP_PICTURE_BYTES, 0);
    attach_video_memories(vram.data(), picture.data());
    scanline = 0;
    skip_countdown = 0;
    uint8_t saved_skip = frame_skip;
    frame_skip = 2; // the fixed frame skip does not apply on the handheld
    Z80State z{};
    // One frame taking `drawn_us` or `skipped_us` of the clock; answers whether it was drawn.
    auto frame = [&](uint32_t drawn_us, uint32_t skipped_us) {
        bool drawn = skip_countdown == 0;
        sim_set_reg32(reg::TIMER_COUNT,
                      sim_reg32(reg::TIMER_COUNT) + (drawn ? drawn_us : skipped_us) * TICKS_PER_US);
        do {
            cpu_hook(&z);
        } while (scanline != VDP_VISIBLE_LINES);
        return drawn;
    };
    for (const FrameSkipCase& k : FRAME_SKIP_CASES) {
        SCOPED_TRACE(k.clock);
        // The emulation catches up when the clock slows down again: a few quick frames, and
        // every frame is drawn.
        int in_a_row = 0;
        for (int f = 0; f < 8 && in_a_row < 3; ++f) in_a_row = frame(1000, 1000) ? in_a_row + 1 : 0;
        ASSERT_EQ(in_a_row, 3);
        uint32_t start_ms = timer_ticks();
        std::string frames;
        for (size_t f = 0; f < std::strlen(k.frames); ++f) frames += frame(k.drawn_us, k.skipped_us) ? 'D' : 'S';
        EXPECT_EQ(frames, k.frames);
        uint32_t elapsed_ms = timer_ticks() - start_ms, due_ms = uint32_t(frames.size() * 1000 / 60);
        if (k.keeps_pace) {
            EXPECT_LE(elapsed_ms, due_ms + 2);
        }
    }
    frame_skip = saved_skip;
    detach_video_memories();
    platform_shutdown();
    platform_state_reset();
}

} // namespace
