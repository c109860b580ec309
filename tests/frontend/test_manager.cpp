// The cartridge manager: what the scan lists and what it takes for the BIOS, the byte-order sort,
// the cursor keys with the page queue, and the ways out (choose, back, leave the program).
#include <gtest/gtest.h>

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
    std::filesystem::create_directory(roms + "/folder.rom"); // entries are not told apart
    EXPECT_EQ(scanned(), (std::vector<std::string>{"A.ROM", "b.rom", "folder.rom", "game.rom.bak"}));
    EXPECT_EQ(std::string(bios_path), rom_dir + "Coleco.rom");
    std::filesystem::remove_all(roms); // a missing folder lists nothing
    EXPECT_TRUE(scanned().empty());
}

TEST_F(Manager, ScanCutsLongNamesAndStopsAtTheListSize) {
    // A 250-byte name is listed by its first 99 bytes; a BIOS name too long for the path buffer
    // is cut to 199 characters.
    std::string long_name = std::string(240, 'q') + "x.rom";
    std::string long_bios = std::string(240, 'b') + "COLECO.ROM";
    make_files({long_name, long_bios});
    std::vector<std::string> names = scanned();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], long_name.substr(0, 99));
    EXPECT_EQ(std::string(bios_path), (rom_dir + long_bios).substr(0, 199));

    std::filesystem::remove(roms + "/" + long_name);
    std::vector<std::string> many = numbered_names(100);
    for (int i = 100; i < 1030; ++i) many.push_back(std::to_string(i) + ".rom");
    make_files(many);
    EXPECT_EQ(scanned().size(), size_t(MANAGER_MAX_NAMES));
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
    sort_names(&list); // nothing to sort
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

    // An empty folder returns at once, without waiting for a key.
    std::filesystem::remove_all(roms);
    card.rom_folder();
    start("B:10-20");
    cartridge_manager();
    EXPECT_LT(headless_clock_ms(), 5u);
    EXPECT_EQ(std::string(cartridge_path), rom_dir + "A.ROM");
}

void leave_with_y() {
    cartridge_manager();
    std::exit(3); // Y must end the process itself
}

TEST_F(Manager, YEndsTheProgramNormally) {
    make_files({"b.rom"});
    start("DOWN:100-101, Y:200-300");
    EXPECT_EXIT(leave_with_y(), ::testing::ExitedWithCode(0), "");
}

} // namespace
