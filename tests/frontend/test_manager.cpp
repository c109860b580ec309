// The cartridge manager: what the scan lists and what it takes for the BIOS, the byte-order sort,
// the cursor keys with the page queue and held keys, the empty folder, and the ways out (choose,
// back, leave the program).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/manager.h"
#include "frontend/screens.h"
#include "frontend/ui.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "platform/platform.h"
#include "tests/frontend/screen_fixture.h"

namespace {

const std::string rom_dir = "/mnt/sd/roms/colecovision/";

std::vector<std::string> scanned() {
    CartridgeList list{};
    scan_rom_directory(&list);
    sort_names(&list);
    std::vector<std::string> out(list.names, list.names + list.count);
    release_names(&list);
    return out;
}

using Manager = ScreenTest;

TEST_F(Manager, ScanListsRomNamesAndTakesTheBiosAside) {
    make_files({"b.rom", "A.ROM", "Coleco.rom", "c.txt", "x.Rom", "game.rom.bak"});
    std::filesystem::create_directory(roms + "/folder.rom"); // a folder is no cartridge
    EXPECT_EQ(scanned(), (std::vector<std::string>{"A.ROM", "b.rom", "game.rom.bak"}));
    EXPECT_EQ(std::string(bios_path), rom_dir + "Coleco.rom");
    std::filesystem::remove_all(roms); // a missing folder lists nothing
    EXPECT_TRUE(scanned().empty());
}

TEST_F(Manager, ScanKeepsLongNamesWholeAndStopsAtTheListSize) {
    // Names as long as the folder allows (255 bytes) are listed, and taken for the BIOS, whole.
    std::string long_name = std::string(250, 'q') + "x.rom";
    std::string long_bios = std::string(245, 'b') + "COLECO.ROM";
    make_files({long_name, long_bios});
    std::vector<std::string> names = scanned();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], long_name);
    EXPECT_EQ(std::string(bios_path), rom_dir + long_bios);

    std::filesystem::remove(roms + "/" + long_name);
    std::vector<std::string> many = numbered_names(100);
    for (int i = 100; i < 1030; ++i) many.push_back(std::to_string(i) + ".rom");
    make_files(many);
    EXPECT_EQ(scanned().size(), size_t(MANAGER_MAX_NAMES));
}

TEST_F(Manager, ACartridgeWithALongNameOpens) {
    std::string long_name = std::string(120, 'L') + " (a long title, as some dumps are named).rom";
    make_files({"A.rom", long_name});
    start("DOWN:100-150, B:300-350");
    cartridge_manager();
    EXPECT_EQ(std::string(cartridge_path), rom_dir + long_name);
    FILE* f = platform_fopen(cartridge_path, "rb");
    EXPECT_NE(f, nullptr);
    if (f) std::fclose(f);
}

TEST(ManagerSort, ComparesBytesAsUnsignedValues) {
    // Upper case before lower case, and bytes from 0x80 up after every ASCII letter, also where
    // char is signed.
    const char* input[] = {"b", "\xE9t\xE9", "B", "a", "", "A", "ab", "\x80"};
    CartridgeList list{};
    for (const char* s : input) list.names[list.count++] = strdup(s);
    sort_names(&list);
    std::vector<std::string> out(list.names, list.names + list.count);
    EXPECT_EQ(out, (std::vector<std::string>{"", "A", "B", "a", "ab", "b", "\x80", "\xE9t\xE9"}));
    release_names(&list);
    EXPECT_EQ(list.count, 0);

    // Only the names the list counts are sorted: with none (an empty folder) or one, nothing
    // moves, not even what lies beyond the count.
    char zz[] = "zz", aa[] = "aa";
    list.names[0] = zz;
    list.names[1] = aa;
    sort_names(&list);
    EXPECT_EQ(list.names[0], zz);
    EXPECT_EQ(list.names[1], aa);
    EXPECT_EQ(list.count, 0);
    list.count = 1;
    sort_names(&list);
    EXPECT_EQ(list.names[0], zz);
    EXPECT_EQ(list.names[1], aa);
    EXPECT_EQ(list.count, 1);
}

TEST(ManagerNavigate, PageKeysQueueMovesThatIdleWaitsCarryOut) {
    Panel p{};
    p.row_count = 25;
    p.visible = 19;
    p.selected = 10;
    pending_moves = 4;
    manager_navigate(&p, BTN_LEFT); // a downward queue is dropped first
    EXPECT_EQ(pending_moves, -19);
    manager_navigate(&p, BTN_LEFT);
    EXPECT_EQ(pending_moves, -38);
    manager_navigate(&p, BTN_RIGHT); // and an upward one
    EXPECT_EQ(pending_moves, 19);
    manager_navigate(&p, 0);
    EXPECT_EQ(p.selected, 11);
    EXPECT_EQ(pending_moves, 18);
    manager_navigate(&p, BTN_DOWN | BTN_A); // a combination is an idle wait
    EXPECT_EQ(p.selected, 12);
    manager_navigate(&p, BTN_UP);
    manager_navigate(&p, 0); // UP dropped the queue: nothing moves
    EXPECT_EQ(p.selected, 11);
    // Page keys without idle waits in between saturate instead of wrapping round.
    for (int i = 0; i < 2000; ++i) manager_navigate(&p, BTN_RIGHT);
    EXPECT_EQ(pending_moves, 32767);
    pending_moves = 0;
    for (int i = 0; i < 2000; ++i) manager_navigate(&p, BTN_LEFT);
    EXPECT_EQ(pending_moves, -32767);
    // A held page key's repeat turns a page only when none is being turned; until then it
    // carries out a queued move like an idle wait.
    pending_moves = 3;
    p.selected = 0;
    manager_navigate(&p, BTN_RIGHT, true);
    EXPECT_EQ(pending_moves, 2);
    EXPECT_EQ(p.selected, 1);
    pending_moves = 0;
    manager_navigate(&p, BTN_RIGHT, true);
    EXPECT_EQ(pending_moves, 19);
    manager_navigate(&p, BTN_DOWN, true); // a held UP or DOWN moves as a press does
    EXPECT_EQ(pending_moves, 0);
    EXPECT_EQ(p.selected, 2);
    pending_moves = 0;
}

TEST_F(Manager, DownMovesTheWindowWithTheHighlightUntilTheEnd) {
    make_files(numbered_names(25));
    start(presses("DOWN", 6, 100, 100) + "B:1000-1001");
    cartridge_manager();
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "n06.rom");
    EXPECT_EQ(manager_panel.first, 6);
    EXPECT_EQ(manager_panel.selected, 6);

    start(presses("DOWN", 18, 100, 100) + "B:2000-2001");
    cartridge_manager();
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "n18.rom");
    EXPECT_EQ(manager_panel.first, 6);
    EXPECT_EQ(manager_panel.selected, 18);
}

TEST_F(Manager, RightQueuesAPageThatAButtonCancels) {
    make_files(numbered_names(25));
    pending_moves = 0;
    start("RIGHT:100-101, B:1000-1001");
    cartridge_manager();
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "n19.rom");
    EXPECT_EQ(manager_panel.first, 6);
    EXPECT_EQ(pending_moves, 0);

    // A cancels the page after a few moves; the highlight stops where it was.
    start("RIGHT:100-101, A:200-201, B:1000-1001");
    cartridge_manager();
    EXPECT_EQ(pending_moves, 0);
    int stopped = manager_panel.selected;
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, 19);
    EXPECT_EQ(std::string(cartridge_path), rom_dir + numbered_names(25)[size_t(stopped)]);
}

// Where the highlight ends on a 100-name list after `script`, once B (at 5 s) chooses.
int row_after(ScreenTest& t, const std::string& script) {
    t.start(script + ", B:5000-5050");
    cartridge_manager();
    return manager_panel.selected;
}

TEST_F(Manager, APressMovesOnceAndAHeldDirectionRepeatsSteadily) {
    make_files(numbered_names(100));
    // A tap of RIGHT turns one page however long it lasts, up to the repeat delay.
    for (int length : {1, 50, 200, 399})
        EXPECT_EQ(row_after(*this, "RIGHT:100-" + std::to_string(100 + length)), 19) << length << " ms";
    for (int length : {1, 50, 200, 399})
        EXPECT_EQ(row_after(*this, "DOWN:100-" + std::to_string(100 + length)), 1) << length << " ms";
    // Held, DOWN moves at once, again after 400 ms and then every 100 ms.
    EXPECT_EQ(row_after(*this, "DOWN:100-550"), 2);
    EXPECT_EQ(row_after(*this, "DOWN:100-1050"), 7);
    EXPECT_EQ(row_after(*this, "DOWN:100-2050"), 17);
    EXPECT_EQ(row_after(*this, "DOWN:100-2050, UP:2100-2150"), 16);
    // Held, RIGHT turns page after page, each one whole and shown row by row, the next one at
    // the first repeat after the last is done: at the press, at 600 ms, then every 400 ms.
    EXPECT_EQ(row_after(*this, "RIGHT:100-950"), 38);
    EXPECT_EQ(row_after(*this, "RIGHT:100-1050"), 57);
    EXPECT_EQ(row_after(*this, "RIGHT:100-1650"), 76);
    EXPECT_EQ(row_after(*this, "RIGHT:100-1650, LEFT:4000-4050"), 57);
}

TEST_F(Manager, BackKeysAndAnEmptyFolderKeepTheCartridge) {
    make_files({"b.rom", "A.ROM", "Coleco.rom"});
    std::snprintf(cartridge_path, sizeof cartridge_path, "%sdk.rom", rom_dir.c_str());
    for (const char* key : {"X", "START"}) {
        std::string script = "DOWN:100-101, ";
        script.append(key).append(":300-301");
        start(script);
        cartridge_manager();
        EXPECT_EQ(std::string(cartridge_path), rom_dir + "dk.rom") << key;
        EXPECT_GE(headless_clock_ms(), 500u) << key; // 200 ms pause after the key
    }
    EXPECT_EQ(std::string(bios_path), rom_dir + "Coleco.rom");

    // X together with B is neither: the manager goes on and B alone chooses.
    start("X+B:100-101, B:300-301");
    cartridge_manager();
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "A.ROM");

    // An empty folder shows why the list is empty and waits: B and the directions do nothing,
    // X goes back to the play cycle.
    std::filesystem::remove_all(roms);
    card.rom_folder();
    start("B:100-150, DOWN:200-250, RIGHT:300-350, X:1000-1050");
    cartridge_manager();
    EXPECT_GE(headless_clock_ms(), 1200u);
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "A.ROM");
    EXPECT_EQ(manager_panel.selected, -1);
    // So does a folder that is missing.
    std::filesystem::remove_all(roms);
    start("START:700-750");
    cartridge_manager();
    EXPECT_GE(headless_clock_ms(), 900u);
}

void leave_with_y() {
    cartridge_manager();
    std::exit(3); // Y must end the process itself
}

TEST_F(Manager, YEndsTheProgramNormally) {
    make_files({"b.rom"});
    start("DOWN:100-101, Y:200-300");
    EXPECT_EXIT(leave_with_y(), ::testing::ExitedWithCode(0), "");
    // Also with no cartridge to list.
    std::filesystem::remove_all(roms);
    start("B:100-150, Y:200-300");
    EXPECT_EXIT(leave_with_y(), ::testing::ExitedWithCode(0), "");
}

} // namespace
