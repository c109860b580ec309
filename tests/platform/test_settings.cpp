// The PC program's settings file (a round trip, bad lines, the atomic write) and where it looks
// for the BIOS of a cartridge opened directly.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "machine/loader.h"
#include "platform/sdl/sdl.h"
#include "platform/sdl/settings.h"

namespace {

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/velkoro-settings-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { EXPECT_EQ(std::system(("rm -rf '" + path + "'").c_str()), 0); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path + "/" + name) << text;
    }
    std::vector<std::string> names(const std::string& sub = "") const {
        std::vector<std::string> out;
        if (DIR* d = opendir((path + sub).c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') out.push_back(e->d_name);
            closedir(d);
        }
        return out;
    }
};

TEST(SdlSettingsFile, EverySettingSurvivesARoundTrip) {
    Folder f;
    SdlSettings s = default_settings();
    s.scale = 5;
    s.whole_scaling = false;
    s.smooth = true;
    s.fullscreen = true;
    s.volume = 40;
    s.card_folder = "/home/player/my card";
    s.last_cartridge = "/home/player/my card/roms/colecovision/Game, the sequel.rom";
    s.keys[8] = {SDLK_COMMA, SDLK_KP_7, SDLK_RCTRL}; // the first player's A
    s.keys[CONTROL_PER_PLAYER + 4] = {};                // the second player's START: none
    s.pad_buttons[1][8] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_LEFTSTICK};
    // The folder does not exist yet, nor the one above it.
    const std::string path = f.path + "/config/velkoro/velkoro.ini";
    ASSERT_TRUE(write_settings(path, s));
    SdlSettings back = default_settings();
    EXPECT_EQ(read_settings(path, back), 0);
    EXPECT_EQ(settings_text(back), settings_text(s));
    EXPECT_EQ(back.keys[8], s.keys[8]);
    EXPECT_EQ(back.card_folder, s.card_folder);
    EXPECT_TRUE(back.smooth);
    EXPECT_FALSE(back.whole_scaling);
    // Nothing but the file is left in its folder.
    EXPECT_EQ(f.names("/config/velkoro"), std::vector<std::string>{"velkoro.ini"});
}

TEST(SdlSettingsFile, ABadLineWarnsAndKeepsTheDefault) {
    struct Case {
        std::string text;
        const char* warning; // a piece of the one line on stderr
    };
    const Case cases[] = {
        {"[window]\nscale = 40\n", "window.scale = \"40\" is not a whole number from 1 to 16"},
        {"[window]\nscaling = stretched\n", "is not whole or fill"},
        {"[window]\nsmooth = maybe\n", "is not yes or no"},
        {"[sound]\nvolume = -1\n", "is not a percentage"},
        {"[keys.player1]\na = Left Ctrl, Hyperspace\n", "no key is called \"Hyperspace\""},
        {"[pad.player2]\nb = trigger\n", "no game controller button is called \"trigger\""},
        {"[keys.player1]\nteleport = T\n", "unknown setting keys.player1.teleport"},
        {"[pad.player1]\nkey5 = a\n", "unknown setting pad.player1.key5"},
        {"[window]\njust some words\n", "line 2 is not a setting"},
        {"[card]\nfolder = /" + std::string(300, 'x') + "\n", "line 2 or a later one is too long"},
    };
    const std::string defaults = settings_text(default_settings());
    for (const Case& c : cases) {
        Folder f;
        // A good setting after the bad line still counts.
        f.write("velkoro.ini", c.text + "[sound]\nvolume = 70\n");
        SdlSettings s = default_settings();
        testing::internal::CaptureStderr();
        EXPECT_EQ(read_settings(f.path + "/velkoro.ini", s), 1) << c.text;
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(c.warning), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(s.volume, 70) << c.text;
        s.volume = 100;
        EXPECT_EQ(settings_text(s), defaults) << c.text;
    }
}

TEST(SdlSettingsFile, MissingOrUnreadableFiles) {
    Folder f;
    SdlSettings s = default_settings();
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_settings(f.path + "/none.ini", s), 0); // a first start: quietly the defaults
    EXPECT_EQ(read_settings(f.path, s), 1);               // a folder
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("is not a settings file"), std::string::npos) << err;
    EXPECT_EQ(settings_text(s), settings_text(default_settings()));
}

TEST(SdlSettingsFile, AWriteThatFailsLeavesNoTrace) {
    Folder f;
    // The file's place is taken by a folder that is not empty: the rename cannot happen.
    mkdir((f.path + "/velkoro.ini").c_str(), 0700);
    f.write("velkoro.ini/keep", "x");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(write_settings(f.path + "/velkoro.ini", default_settings()));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("cannot keep the settings"), std::string::npos) << err;
    EXPECT_EQ(f.names(), std::vector<std::string>{"velkoro.ini"});
}

TEST(SdlOpen, TheBiosIsLookedForInOrder) {
    Folder f;
    mkdir((f.path + "/carts").c_str(), 0700);
    mkdir((f.path + "/card").c_str(), 0700);
    mkdir((f.path + "/card/roms").c_str(), 0700);
    mkdir((f.path + "/card/roms/colecovision").c_str(), 0700);
    sdl_config.card_folder = f.path + "/card";
    const std::string cart = f.path + "/carts/game.rom";
    // Nothing anywhere: Velkoro's own boot ROM.
    std::string own = sdl_find_bios(cart);
    const std::string tail = "/card/roms/colecovision/coleco.rom";
    ASSERT_GT(own.size(), tail.size());
    EXPECT_EQ(own.substr(own.size() - tail.size()), tail) << own;
    EXPECT_EQ(own.rfind(f.path, 0), std::string::npos) << own;
    // The card's, then the cartridge folder's, in any letter case.
    f.write("card/roms/colecovision/Coleco.ROM", "");
    EXPECT_EQ(sdl_find_bios(cart), f.path + "/card/roms/colecovision/Coleco.ROM");
    f.write("carts/COLECO.rom", "");
    EXPECT_EQ(sdl_find_bios(cart), f.path + "/carts/COLECO.rom");
    // One named on the command line wins.
    bios_named = true;
    std::snprintf(bios_path, sizeof bios_path, "/somewhere/bios.bin");
    EXPECT_EQ(sdl_find_bios(cart), "/somewhere/bios.bin");
    bios_named = false;
}

} // namespace
