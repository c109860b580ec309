// The program end to end on the headless back end: start-up, the play cycle, games loaded from a
// card folder, and failed loads that return to the cartridge manager. Each run happens in a
// child process, since the program ends only through a process exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frontend/font.h"
#include "frontend/surface.h"
#include "machine/heap.h"
#include "machine/play.h"
#include "platform/platform.h"
#include "tests/machine/machine_fixture.h"
#include "video/vdp.h"

namespace {

// The recorded sound as its stretches, in order: "quiet" where it holds still, "low" for a tone
// near 440 Hz, "high" for one near 880 Hz, else the pitch found. Stretches are told apart in
// windows of 10 ms; a pitch is counted from the crossings of the stretch's middle level.
std::string describe_sound() {
    const std::vector<int16_t>& a = headless_audio();
    std::vector<int> left;
    for (size_t i = 0; i < a.size(); i += 2) left.push_back(a[i]);
    if (left.empty()) return "";
    const size_t window = 441;
    auto [lo, hi] = std::minmax_element(left.begin(), left.end());
    int span = *hi - *lo;
    std::string out;
    size_t start = 0;
    bool loud = false;
    auto close = [&](size_t end) {
        if (end <= start) return;
        std::string what = "quiet";
        if (loud) {
            auto [l, h] =
                std::minmax_element(left.begin() + std::ptrdiff_t(start), left.begin() + std::ptrdiff_t(end));
            int middle = (*l + *h) / 2, side = 0;
            size_t first = 0, last = 0, crossings = 0;
            for (size_t i = start; i < end; ++i) {
                int now = left[i] > middle ? 1 : -1;
                if (side != 0 && now != side) {
                    if (crossings++ == 0) first = i;
                    last = i;
                }
                side = now;
            }
            double hz = crossings > 2 ? (crossings - 1) / 2.0 * 44100.0 / double(last - first) : 0;
            what = hz > 400 && hz < 480   ? "low"
                   : hz > 800 && hz < 960 ? "high"
                                          : std::to_string(int(hz)) + "Hz";
        }
        out += (out.empty() ? "" : ",") + what;
        start = end;
    };
    for (size_t w = 0; w < left.size(); w += window) {
        size_t end = std::min(left.size(), w + window);
        auto [l, h] =
            std::minmax_element(left.begin() + std::ptrdiff_t(w), left.begin() + std::ptrdiff_t(end));
        bool now = (*h - *l) * 8 > span && span > 0;
        if (w == 0) loud = now;
        if (now != loud) {
            close(w);
            loud = now;
        }
    }
    close(left.size());
    return out;
}

// Reported by the child at its exit, after the platform's own shut-down.
void report_counters() {
    std::fprintf(stderr, "games=%u failed=%u path=%s live=%u sound=%s\n", games_run, loads_failed,
                 cartridge_path, program_blocks_live, describe_sound().c_str());
}

// Welcome screen and manager confirmed with B, then SELECT ends the game.
HeadlessConfig program_config(const std::string& card) {
    HeadlessConfig c = test_config(card);
    c.run_ms = 3000;
    std::string error;
    parse_button_script("B:100-200, B:400-500, SELECT:1000-1100", c.presses, error);
    return c;
}

[[noreturn]] void run_program(const HeadlessConfig& c) {
    headless_reset(c);
    std::atexit(report_counters);
    program_main();
    std::exit(3); // the play cycle never returns while the picture buffer exists
}

struct PlayCycle : ::testing::Test {
    TempFolder card;
    std::string roms = card.rom_folder();
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(PlayCycle, RunsTheChosenCartridge) {
    write_file(roms + "/coleco.rom", spinning_bios());
    write_file(roms + "/dk.rom", test_cartridge(8192));
    EXPECT_EXIT(run_program(program_config(card.path)), ::testing::ExitedWithCode(0),
                "games=[1-9][0-9]* failed=0");
}

TEST_F(PlayCycle, FailedLoadsGoBackToTheManager) {
    // No BIOS at all, then a BIOS with a cartridge that is too short, then a bad signature: the
    // program keeps cycling and never runs a game. The folder always lists a cartridge, so that
    // the manager waits for the user instead of returning at once on an empty list.
    write_file(roms + "/dk.rom", test_cartridge(8192));
    EXPECT_EXIT(run_program(program_config(card.path)), ::testing::ExitedWithCode(0), "games=0 failed=[1-9]");
    write_file(roms + "/coleco.rom", spinning_bios());
    write_file(roms + "/dk.rom", test_cartridge(4000));
    EXPECT_EXIT(run_program(program_config(card.path)), ::testing::ExitedWithCode(0), "games=0 failed=[1-9]");
    write_file(roms + "/dk.rom", test_cartridge(8192, 0x55, 0x55));
    EXPECT_EXIT(run_program(program_config(card.path)), ::testing::ExitedWithCode(0), "games=0 failed=[1-9]");
}

// Two games in a row: the first is the default cartridge (X runs it without a choice), the
// second is chosen with B. Each is silent for a quarter of a second, then plays its tone until
// SELECT; the second must start silent, and only the back buffer and the picture buffer may
// outlive the games.
TEST_F(PlayCycle, TwoGamesInARowAreBothHeardAndTheFirstLeavesNothingBehind) {
    write_file(roms + "/coleco.rom", read_file(VELKORO_TINY_BIOS));
    std::vector<uint8_t> tone = read_file(std::string(VELKORO_MACHINE_TEST_ROMS) + "/tone.rom");
    ASSERT_EQ(tone[0x24], 254); // the period word, 440 Hz
    write_file(roms + "/dk.rom", tone);
    tone[0x24] = 127; // 880 Hz
    write_file(roms + "/bell.rom", tone);
    HeadlessConfig c = test_config(card.path);
    c.run_ms = 8000;
    c.record_audio = true;
    std::string error;
    parse_button_script("B:100-200, X:400-500, SELECT:1400-1500, B:1900-2000, SELECT:2900-3000, Y:3300-3400",
                        c.presses, error);
    EXPECT_EXIT(
        run_program(c), ::testing::ExitedWithCode(0),
        "games=2 failed=0 path=/mnt/sd/roms/colecovision/bell.rom live=2 sound=quiet,low,quiet,high\n");
}

// Runs the program with the allocation of `bytes` failing: it must show the message on the
// status line for 500 ms and end, with nothing else on the screen.
[[noreturn]] void run_with_failing_allocation(const std::string& card, size_t bytes) {
    HeadlessConfig c = test_config(card);
    c.run_ms = 5000;
    std::string error;
    parse_button_script("B:100-200, B:400-500", c.presses, error);
    headless_reset(c);
    program_failing_bytes = bytes;
    int result = program_main();
    uint32_t took = headless_clock_ms();
    const uint16_t* shown = headless_shown_buffer();
    std::vector<uint16_t> expected(DISPLAY_WIDTH * 20, 0);
    Surface strip{expected.data(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, 20};
    draw_text(&strip, current_font, 2, 2, "Couldn't allocate backbuffer", 0);
    bool message = current_font && std::equal(expected.begin(), expected.end(), shown) &&
                   std::count(expected.begin(), expected.end(), 0) < std::ptrdiff_t(expected.size());
    bool rest_black = std::all_of(shown + expected.size(), shown + DISPLAY_WIDTH * DISPLAY_HEIGHT,
                                  [](uint16_t p) { return p == 0; });
    std::fprintf(stderr, "returned %d after %s ms, message %s, rest %s\n", result,
                 took >= 500 && took < 600 ? "500" : std::to_string(took).c_str(),
                 message ? "shown" : "missing", rest_black ? "black" : "drawn");
    std::exit(0);
}

TEST_F(PlayCycle, BuffersThatCannotBeAllocatedEndTheProgramWithAMessage) {
    write_file(roms + "/coleco.rom", spinning_bios());
    write_file(roms + "/dk.rom", test_cartridge(8192));
    EXPECT_EXIT(run_with_failing_allocation(card.path, BACK_SURFACE_BYTES), ::testing::ExitedWithCode(0),
                "returned 0 after 500 ms, message shown, rest black");
    EXPECT_EXIT(run_with_failing_allocation(card.path, VDP_PICTURE_BYTES), ::testing::ExitedWithCode(0),
                "returned 0 after 500 ms, message shown, rest black");
}

// The program with a card, stopped after `ms`: the screen is left in the shown buffer.
[[noreturn]] void run_until(HeadlessConfig c, uint32_t ms, const std::string& script) {
    c.run_ms = ms;
    std::string error;
    parse_button_script(script, c.presses, error);
    run_program(c);
}

TEST_F(PlayCycle, AFailedLoadShowsWhyUntilAKeyOrAFewSeconds) {
    // No BIOS: chosen at 400 ms, the reason is up until a key (A at 1500 ms, then B chooses again
    // in the manager), or for some 4 s without one (B at 4200 ms only puts it away, B at 4800 ms
    // finds the manager again).
    write_file(roms + "/dk.rom", test_cartridge(8192));
    EXPECT_EXIT(run_until(test_config(card.path), 2500, "B:100-200, B:400-500, A:1500-1600, B:1800-1900"),
                ::testing::ExitedWithCode(0), "games=0 failed=2 ");
    EXPECT_EXIT(run_until(test_config(card.path), 4300, "B:100-200, B:400-500, B:4200-4300"),
                ::testing::ExitedWithCode(0), "games=0 failed=1 ");
    EXPECT_EXIT(run_until(test_config(card.path), 5500, "B:100-200, B:400-500, B:4800-4900"),
                ::testing::ExitedWithCode(0), "games=0 failed=2 ");
}

// What the player sees: the reason in the status strip over the black screen.
[[noreturn]] void show_failure_and_compare(const std::string& card) {
    HeadlessConfig c = test_config(card);
    c.run_ms = 1000;
    std::string error;
    parse_button_script("B:100-200, B:400-500", c.presses, error);
    headless_reset(c);
    std::atexit([] { std::fprintf(stderr, "%s\n", compare_screen_with_golden("machine/golden/load_failure.png").c_str()); });
    program_main();
    std::exit(3);
}

TEST_F(PlayCycle, TheReasonIsShownInTheStatusStrip) {
    write_file(roms + "/coleco.rom", spinning_bios());
    write_file(roms + "/A cartridge with a name too long for one line of the strip.rom",
               test_cartridge(8192, 0x12, 0x34));
    EXPECT_EXIT(show_failure_and_compare(card.path), ::testing::ExitedWithCode(0), "^\n$");
}

TEST_F(PlayCycle, ACartridgeOpenedFromOutsideStartsAtOnce) {
    // No welcome screen and no manager: SELECT at 500 ms ends the game, and the manager then
    // lists the cartridge's own folder, whose BIOS is the one it was opened with.
    TempFolder other;
    write_file(other.path + "/mine.rom", test_cartridge(8192));
    write_file(other.path + "/bios.bin", spinning_bios());
    HeadlessConfig c = test_config(card.path);
    c.opened_cartridge = other.path + "/mine.rom";
    c.opened_bios = other.path + "/bios.bin";
    EXPECT_EXIT(run_until(c, 900, "SELECT:500-600"), ::testing::ExitedWithCode(0),
                "games=1 failed=0 path=.*/mine.rom ");
    EXPECT_EXIT(run_until(c, 1500, "SELECT:500-600, B:1000-1100, SELECT:1300-1400"), ::testing::ExitedWithCode(0),
                "games=2 failed=0 path=.*/mine.rom ");
}

TEST_F(PlayCycle, StatusMessageWithoutFontDoesNotWait) {
    headless_reset(test_config(card.path));
    uint32_t before = headless_clock_ms();
    show_status_message("no font, no wait");
    EXPECT_LT(headless_clock_ms() - before, 5u);
}

} // namespace
