// Soak: random cartridges (seeded, so a run can be repeated) run one after the other on the
// headless back end, each for a fixed number of frames with every frame drawn and presented, on
// an unpaced clock. A watchdog thread watches the frames go by: when one takes longer than its
// limit the program has stopped answering, and the soak names the cartridge, keeps its file and
// ends with a failure. At the end it prints frames per second, the slowest frame and its
// cartridge. Not a test: run it by hand (see the README).
//
//   velkoro-soak [--cartridges N] [--first K] [--frames M] [--seed S] [--watchdog-ms T] [--keep DIR]
//
// --first K starts at the seed's cartridge K, so that a long soak can be run in parts.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bench/bench_common.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "platform/platform.h"
#include "sound/psg.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    uint32_t cartridges = 2000;
    uint32_t first = 0;
    uint32_t frames = 600;
    uint64_t seed = 1;
    uint32_t watchdog_ms = 5000;
    std::string keep = "."; // where the card and a cartridge that hung are written
};

Options options;

// The frame in progress, seen by the watchdog.
std::atomic<uint64_t> frames_done{0};
std::atomic<uint32_t> current_cartridge{0};
std::atomic<bool> soak_over{false};

// The frame driver's side (main thread only).
uint32_t frames_this_game = 0;
Clock::time_point last_frame;
double slowest_frame_ms = 0;
uint32_t slowest_cartridge = 0;
std::vector<uint8_t> cartridge_bytes;

void on_frame_end() {
    Clock::time_point now = Clock::now();
    double ms = std::chrono::duration<double, std::milli>(now - last_frame).count();
    if (frames_this_game > 0 && ms > slowest_frame_ms) {
        slowest_frame_ms = ms;
        slowest_cartridge = current_cartridge.load(std::memory_order_relaxed);
    }
    last_frame = now;
    frames_done.fetch_add(1, std::memory_order_relaxed);
    // The game ends at this frame's end once it has run its frames.
    if (++frames_this_game >= options.frames) quit_request = 1;
}

std::string cartridge_file(uint32_t index) {
    return options.keep + "/soak-" + std::to_string(index) + ".rom";
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Any frame that takes longer than the limit: the program no longer answers.
void watchdog() {
    uint64_t seen = frames_done.load();
    Clock::time_point since = Clock::now();
    while (!soak_over.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        uint64_t now = frames_done.load();
        if (now != seen) {
            seen = now;
            since = Clock::now();
        } else if (Clock::now() - since > std::chrono::milliseconds(options.watchdog_ms)) {
            uint32_t c = current_cartridge.load();
            std::fprintf(stderr, "soak: cartridge %u (seed %llu) stopped answering for %u ms; kept as %s\n",
                         c, static_cast<unsigned long long>(options.seed), options.watchdog_ms,
                         cartridge_file(c).c_str());
            // The main thread is stuck inside the game and no longer touches the image.
            write_bytes(cartridge_file(c), cartridge_bytes);
            std::_Exit(1);
        }
    }
}

// Cartridge `index` of the seed: 4 to 32 KB of random bytes behind a header that starts the
// program at once at a random address of the cartridge. A quarter of them carry bursts of
// video and sound port writes among the random code, so that the chips see busy programs too.
std::vector<uint8_t> random_cartridge(uint64_t seed, uint32_t index) {
    std::mt19937_64 rng(seed * 0x9E3779B97F4A7C15ull + index);
    size_t size = 4096 + size_t(rng() % (CARTRIDGE_MAX_BYTES - 4096 + 1));
    std::vector<uint8_t> c(size);
    for (uint8_t& b : c) b = uint8_t(rng());
    c[0] = 0x55;
    c[1] = 0xAA;
    uint16_t start = uint16_t(0x8000 + 0x0C + rng() % (size - 0x0C));
    c[0x0A] = uint8_t(start);
    c[0x0B] = uint8_t(start >> 8);
    if (index % 4 == 0) {
        static const uint8_t ports[] = {0xBE, 0xBF, 0xFF};
        for (size_t at = 0x10; at + 4 <= size; at += 4 + rng() % 60) {
            c[at] = 0x3E; // LD A, n
            c[at + 1] = uint8_t(rng());
            c[at + 2] = 0xD3; // OUT (n), A
            c[at + 3] = ports[rng() % 3];
        }
    }
    return c;
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: velkoro-soak [--cartridges N] [--first K] [--frames M] [--seed S] "
                         "[--watchdog-ms T] [--keep DIR]\n");
    std::exit(2);
}

void parse(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) usage();
        char* end = nullptr;
        unsigned long long v = std::strtoull(argv[i + 1], &end, 10);
        bool number = end && *end == '\0' && v <= 0xFFFFFFFFull;
        if (a == "--keep") {
            options.keep = argv[++i];
            continue;
        }
        if (a == "--first" && number) {
            options.first = uint32_t(v);
            ++i;
            continue;
        }
        number = number && v > 0;
        if (!number) usage();
        ++i;
        if (a == "--cartridges")
            options.cartridges = uint32_t(v);
        else if (a == "--frames")
            options.frames = uint32_t(v);
        else if (a == "--seed")
            options.seed = v;
        else if (a == "--watchdog-ms")
            options.watchdog_ms = uint32_t(v);
        else
            usage();
    }
}

} // namespace

int main(int argc, char** argv) {
    parse(argc, argv);
    std::string card = options.keep + "/soak-card-" + std::to_string(getpid());
    std::string roms = make_bench_card(card);
    if (roms.empty()) return 2;
    FILE* boot = std::fopen(VELKORO_BOOT_ROM, "rb");
    std::vector<uint8_t> bios(BIOS_BYTES);
    if (!boot || std::fread(bios.data(), 1, bios.size(), boot) != bios.size()) {
        std::fprintf(stderr, "soak: cannot read the boot ROM %s\n", VELKORO_BOOT_ROM);
        return 2;
    }
    std::fclose(boot);
    write_bytes(roms + "/coleco.rom", bios);

    HeadlessConfig config;
    config.card_folder = card;
    config.on_frame_end = on_frame_end;
    start_headless_bench(config);
    frame_skip = 1; // every frame drawn and presented

    std::thread dog(watchdog);
    Clock::time_point start = Clock::now();
    uint32_t failed = 0;
    for (uint32_t i = options.first; i < options.first + options.cartridges; ++i) {
        current_cartridge.store(i);
        cartridge_bytes = random_cartridge(options.seed, i);
        if (!write_bytes(roms + "/game.rom", cartridge_bytes)) return 2;
        frames_this_game = 0;
        last_frame = Clock::now();
        if (run_cartridge("/mnt/sd/roms/colecovision/game.rom") != 1) ++failed;
        mixer_reset();
        release_machine();
        if (frames_this_game != options.frames) {
            std::fprintf(stderr, "soak: cartridge %u ran %u frames, not %u\n", i, frames_this_game,
                         options.frames);
            ++failed;
        }
        if ((i + 1) % 100 == 0) std::fprintf(stderr, "soak: up to cartridge %u\n", i);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    soak_over.store(true);
    dog.join();
    remove_bench_card(card);

    uint64_t frames = frames_done.load();
    std::printf("soak: seed %llu, cartridges %u..%u x %u frames = %llu frames in %.1f s: %.0f frames/s\n",
                static_cast<unsigned long long>(options.seed), options.first,
                options.first + options.cartridges - 1, options.frames,
                static_cast<unsigned long long>(frames), seconds, frames / seconds);
    std::printf("soak: slowest frame %.2f ms (cartridge %u); watchdog %u ms: no stall; %u faults\n",
                slowest_frame_ms, slowest_cartridge, options.watchdog_ms, failed);
    return failed ? 1 : 0;
}
