// Front-end screens under test: the headless back end on the virtual clock, the program's two
// surfaces (the screen over the shown buffer, so that goldens see what is drawn), the built-in
// fonts when they exist, and card folders holding files of given names.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

struct ScreenTest : ::testing::Test {
    TempFolder card;
    std::string roms = card.rom_folder();
    std::vector<uint16_t> back_pixels = std::vector<uint16_t>(320 * 240);
    std::string saved_cartridge, saved_bios;

    void SetUp() override;
    void TearDown() override;
    // Resets the back end onto the card with `script` (see parse_button_script) and clears both
    // surfaces.
    void start(const std::string& script);
    // Empty files of these names in the ROM folder.
    void make_files(const std::vector<std::string>& names);
};

// "NAME:t-t+50" entries, one every `gap` ms from `from`: taps of 50 ms, as a thumb makes them.
std::string presses(const std::string& name, int count, int from, int gap);

// "n00.rom" .. "nNN.rom".
std::vector<std::string> numbered_names(int count);
