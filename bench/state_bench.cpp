// The state record's cost: the graphics demo (sprites, both pictures, a tune on three channels)
// runs on the headless back end without pacing; after its title, at a frame end, the record is
// saved and loaded many times over. Prints the record's size, the time of one save and one load
// (mean and slowest) and the memory ten seconds of rewinding take at one record a frame.
//
//   velkoro_state_bench [--repeat N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/state.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t MEASURED_FRAME = 400; // past the boot ROM's title
uint32_t repeat = 2000;

struct Timing {
    double mean_us = 0, median_us = 0;
};

// The median as well as the mean: a busy machine stretches a few of the runs.
template <typename F> Timing time_each(F&& f) {
    std::vector<double> us(repeat);
    Timing t;
    for (double& u : us) {
        auto start = Clock::now();
        f();
        u = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        t.mean_us += u / repeat;
    }
    std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
    t.median_us = us[us.size() / 2];
    return t;
}

void measure() {
    if (headless_frames() != MEASURED_FRAME) return;
    uint32_t bytes = state_record_bytes();
    std::vector<uint8_t> record(bytes);
    Timing save = time_each([&] {
        if (state_save(record.data(), bytes, 0) != bytes) std::abort();
    });
    Timing load = time_each([&] {
        if (state_load(record.data(), record.size(), nullptr)) std::abort();
    });
    std::printf("state record: %u bytes\n", bytes);
    std::printf("save: %.1f us mean, %.1f us median; load: %.1f us mean, %.1f us median (%u each)\n",
                save.mean_us, save.median_us, load.mean_us, load.median_us, repeat);
    std::printf("ten seconds of rewinding at one record a frame: %.1f MB\n", 600.0 * bytes / (1024 * 1024));
    quit_request = 1;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc) {
            repeat = uint32_t(std::max(1, std::atoi(argv[++i])));
        } else {
            std::fprintf(stderr, "usage: velkoro_state_bench [--repeat N]\n");
            return 2;
        }
    }
    HeadlessConfig c;
    c.card_folder = VELKORO_BENCH_CARD;
    c.on_frame_end = measure;
    start_headless_bench(c);
    if (run_cartridge("/mnt/sd/roms/colecovision/Graphics demo.rom") != 1) {
        std::fprintf(stderr, "state bench: the bundled card is not built\n");
        return 1;
    }
    return 0;
}
