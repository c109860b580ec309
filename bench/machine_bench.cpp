// Whole-machine benchmark: the busy test cartridge (graphics II, 32 sprites, the processor never
// halted) runs on the headless back end with an unpaced clock and frame skip 1, so every frame
// is drawn and presented. Prints emulated frames per second and the host time per frame, split
// into processor (with the driver), rendering and presentation. The run ends inside the frame
// driver through the back end's frame limit, so the figures are printed at process exit;
// rendering and presentation are then timed again on the game's final video memory.
//
// Options: --frames N (emulated frames to run, 5000 by default), --skip K (the frame skip, 1 by
// default: every frame drawn), --cartridge busy_banks (the same machine as a MegaCart that
// switches banks some 250 times a frame, instead of the plain busy cartridge), --quiet (run the
// frames and nothing else: no timing runs and no figures, for counting the instructions a run
// executes; see bench/arm_instructions.sh).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/bench_common.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "platform/platform.h"
#include "video/vdp.h"

namespace {

using Clock = std::chrono::steady_clock;

uint32_t measured_frames = 5000;
uint8_t measured_skip = 1;
bool quiet = false;
std::string cartridge = "busy";
constexpr int TIMING_REPEATS = 2000;

Clock::time_point run_start;
std::string card_folder;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

bool copy_file(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream out(to, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

void remove_card() {
    if (!remove_bench_card(card_folder)) std::fprintf(stderr, "machine: cannot remove %s\n", card_folder.c_str());
}

bool parse_options(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--quiet") {
            quiet = true;
        } else if (a == "--cartridge" && i + 1 < argc) {
            cartridge = argv[++i];
            if (cartridge != "busy" && cartridge != "busy_banks") return false;
        } else if ((a == "--frames" || a == "--skip") && i + 1 < argc) {
            long v = std::strtol(argv[++i], nullptr, 10);
            if (v < 1 || v > (a == "--skip" ? 255 : 1000000)) return false;
            if (a == "--frames")
                measured_frames = uint32_t(v);
            else
                measured_skip = uint8_t(v);
        } else {
            return false;
        }
    }
    return true;
}

void report() {
    if (quiet) return remove_card();
    double total = seconds_since(run_start);
    uint32_t frames = headless_frames();
    Clock::time_point t = Clock::now();
    for (int f = 0; f < TIMING_REPEATS; ++f)
        for (int line = 0; line < VDP_VISIBLE_LINES; ++line) vdp_render_line(uint8_t(line));
    double render = seconds_since(t) / TIMING_REPEATS;
    t = Clock::now();
    for (int f = 0; f < TIMING_REPEATS; ++f) present_frame();
    double present = seconds_since(t) / TIMING_REPEATS;
    double per_frame = total / frames;
    std::printf("machine: %u frames (graphics II, 32 sprites%s, frame skip %u) in %.3f s\n", frames,
                cartridge == "busy" ? "" : ", a MegaCart switching banks", unsigned(measured_skip), total);
    std::printf("machine: %.0f emulated frames/s (%.1f x the console's speed)\n", frames / total,
                frames / total / 60.0);
    std::printf("machine: per frame %.1f us = processor and driver %.1f us + rendering %.1f us + "
                "presentation %.1f us\n",
                per_frame * 1e6, (per_frame - render - present) * 1e6, render * 1e6, present * 1e6);
    remove_card();
}

} // namespace

int main(int argc, char** argv) {
    if (!parse_options(argc, argv)) {
        std::fprintf(stderr, "usage: bench_machine [--frames N] [--skip K] [--cartridge busy|busy_banks] [--quiet]\n");
        return 2;
    }
    char templ[] = "/tmp/velkoro-bench-XXXXXX";
    if (!mkdtemp(templ)) return 1;
    card_folder = templ;
    std::string dir = make_bench_card(card_folder);
    if (dir.empty()) return 1;
    if (!copy_file(VELKORO_BENCH_ROMS "/tiny_bios.rom", dir + "/coleco.rom") ||
        !copy_file(VELKORO_BENCH_ROMS "/" + cartridge + ".rom", dir + "/busy.rom")) {
        std::fprintf(stderr, "machine: the test cartridges are not built\n");
        return 1;
    }
    HeadlessConfig c;
    c.card_folder = card_folder;
    c.run_frames = measured_frames;
    start_headless_bench(c);
    frame_skip = measured_skip;
    std::snprintf(bios_path, sizeof bios_path, "%s", "/mnt/sd/roms/colecovision/coleco.rom");

    std::atexit(report);
    run_start = Clock::now();
    run_cartridge("/mnt/sd/roms/colecovision/busy.rom");
    std::fprintf(stderr, "machine: the game ended before its frames ran\n");
    return 1;
}
