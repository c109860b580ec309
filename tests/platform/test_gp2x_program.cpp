// The whole program on the simulated handheld. Each run happens in a child process, since the
// program ends only by leaving the process: at the run's end the simulated handheld reports
// what it saw, the process exits, and platform_shutdown hands over to the (recorded) menu.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "machine/loader.h"
#include "machine/memory.h"
#include "machine/play.h"
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/sim/sim.h"
#include "platform/headless/headless.h"
#include "platform/platform.h"

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

} // namespace
