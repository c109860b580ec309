// The program's whole life on the headless back end: start-up, the welcome screen, then a
// hundred games in a row through the play cycle and the cartridge manager, a good cartridge and
// a file that fails to load by turns, and Y to leave. Nothing may leak (the AddressSanitizer
// build checks at the exit) and the heap must hold as much before the hundredth game as before
// the tenth. The program ends only through a process exit, so it runs in a child process.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "machine/play.h"
#include "platform/platform.h"
#include "tests/machine/machine_fixture.h"
#include "tests/support/heap.h"

namespace {

constexpr int PAIRS = 50; // a good game and a failed load each
constexpr int GAMES = 2 * PAIRS;
constexpr int FLAT_FROM = 10; // the game from which on the heap must not move

// Taken just before each game, without allocating.
size_t heap_before[GAMES + 1];
size_t resident_before[GAMES + 1];
int games_started = 0;

void before_game(int32_t playing) {
    if (!playing || games_started > GAMES) return;
    heap_before[games_started] = heap_in_use();
    resident_before[games_started] = resident_bytes();
    ++games_started;
}

// At the exit, after the platform's own shut-down: the figures, and whether they hold.
void report() {
    size_t low = heap_before[FLAT_FROM - 1], high = low;
    for (int i = FLAT_FROM - 1; i < games_started; ++i) {
        low = std::min(low, heap_before[i]);
        high = std::max(high, heap_before[i]);
    }
    bool flat = games_started == GAMES && low == high;
    char line[512];
    std::snprintf(line, sizeof line,
                  "games=%d run=%u failed=%u heap: first %zu, tenth %zu, last %zu, range from the tenth %zu; "
                  "resident: tenth %zu kB, last %zu kB; %s\n",
                  games_started, games_run, loads_failed, heap_before[0], heap_before[FLAT_FROM - 1],
                  heap_before[games_started - 1], high - low, resident_before[FLAT_FROM - 1] / 1024,
                  resident_before[games_started - 1] / 1024, flat ? "flat" : "NOT FLAT");
    std::fputs(line, stderr);
    // Kept for whoever wants the figures of the last run.
    if (FILE* f = std::fopen(VELKORO_BUILD_DIR "/whole_life.txt", "w")) {
        std::fputs(line, f);
        std::fclose(f);
    }
}

// The manager lists a_game.rom, b_short.rom and c_signature.rom and starts with the first
// highlighted. Each pair: B runs the game, SELECT ends it, DOWN once or twice and B pick one of
// the broken files, whose reason A puts away, back to the manager.
std::string life_script() {
    std::string s = "B:100-200";
    const uint32_t period = 2000;
    for (uint32_t k = 0; k < PAIRS; ++k) {
        uint32_t t = 400 + k * period;
        auto press = [&](const char* name, uint32_t at) {
            s += ", " + std::string(name) + ":" + std::to_string(t + at) + "-" + std::to_string(t + at + 100);
        };
        press("B", 0);
        press("SELECT", 600);
        press("DOWN", 1000);
        if (k % 2) press("DOWN", 1200);
        press("B", 1400);
        press("A", 1800);
    }
    s += ", Y:" + std::to_string(400 + PAIRS * period + 100) + "-" +
         std::to_string(400 + PAIRS * period + 200);
    return s;
}

void live(const std::string& card) {
    HeadlessConfig c = test_config(card);
    c.run_ms = 400 + PAIRS * 2000 + 5000; // only if Y went unheard
    std::string error;
    if (!parse_button_script(life_script(), c.presses, error)) std::abort();
    c.on_show_game = before_game;
    headless_reset(c);
    std::atexit(report);
    program_main();
    std::exit(3);
}

TEST(WholeLife, HundredGamesLeakNothingAndKeepTheHeapFlat) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder card;
    std::string roms = card.rom_folder();
    write_file(roms + "/coleco.rom", read_file(built_rom("coleco.rom")));
    write_file(roms + "/a_game.rom", read_file(built_rom("Bouncing balls.rom")));
    write_file(roms + "/b_short.rom", test_cartridge(4095));
    write_file(roms + "/c_signature.rom", test_cartridge(8192, 0x55, 0x55));
    EXPECT_EXIT(live(card.path), ::testing::ExitedWithCode(0), "games=100 run=50 failed=50 .*; flat");
}

} // namespace
