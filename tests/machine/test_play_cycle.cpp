// The program end to end on the headless back end: start-up, the play cycle, games loaded from a
// card folder, and failed loads that return to the cartridge manager. Each run happens in a
// child process, since the program ends only through a process exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "machine/play.h"
#include "platform/platform.h"
#include "tests/machine/machine_fixture.h"

namespace {

// Reported by the child at its exit, after the platform's own shut-down.
void report_counters() {
    std::fprintf(stderr, "games=%u failed=%u path=%s\n", games_run, loads_failed, cartridge_path);
}

// Welcome screen and manager confirmed with B, then SELECT ends the game.
HeadlessConfig program_config(const std::string& card) {
    HeadlessConfig c = test_config(card);
    c.run_ms = 3000;
    std::string error;
    parse_button_script("B:100-200, B:400-500, SELECT:1000-1100", c.presses, error);
    return c;
}

void run_program(const HeadlessConfig& c) {
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

TEST_F(PlayCycle, StatusMessageWithoutFontDoesNotWait) {
    headless_reset(test_config(card.path));
    uint32_t before = headless_clock_ms();
    show_status_message("no font, no wait");
    EXPECT_LT(headless_clock_ms() - before, 5u);
}

} // namespace
