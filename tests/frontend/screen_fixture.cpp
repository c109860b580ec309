#include "tests/frontend/screen_fixture.h"

#include <cstdio>
#include <cstring>

#include "frontend/font.h"
#include "frontend/surface.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "platform/platform.h"

void ScreenTest::SetUp() {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    saved_cartridge = cartridge_path;
    saved_bios = bios_path;
    // Loaded once per process: every load adds an image to the program-wide list.
    static bool fonts_loaded = false;
    if (!fonts_loaded) {
        fonts_loaded = true;
        font_primary = load_builtin_font();
        font_secondary = load_builtin_font();
        current_font = font_primary;
    }
    start("");
}

void ScreenTest::TearDown() {
    std::snprintf(cartridge_path, sizeof cartridge_path, "%s", saved_cartridge.c_str());
    std::snprintf(bios_path, sizeof bios_path, "%s", saved_bios.c_str());
}

void ScreenTest::start(const std::string& script) {
    HeadlessConfig c = test_config(card.path);
    std::string error;
    EXPECT_TRUE(parse_button_script(script, c.presses, error)) << error;
    headless_reset(c);
    screen_surface = Surface{const_cast<uint16_t*>(headless_shown_buffer()), 0, 16, 320, 320, 240};
    back_surface = Surface{back_pixels.data(), 0, 16, 320, 320, 240};
    fill_rect(&screen_surface, 0, 0, 0, 320, 240);
    fill_rect(&back_surface, 0, 0, 0, 320, 240);
}

void ScreenTest::make_files(const std::vector<std::string>& names) {
    for (const std::string& n : names) write_file(roms + "/" + n, {});
}

std::string presses(const std::string& name, int count, int from, int gap) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        int t = from + i * gap;
        s += name + ":" + std::to_string(t) + "-" + std::to_string(t + 50) + ",";
    }
    return s;
}

std::vector<std::string> numbered_names(int count) {
    std::vector<std::string> v;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "n%02d.rom", i);
        v.push_back(name);
    }
    return v;
}
