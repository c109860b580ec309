// Helpers shared by the tests: temporary card folders, files of given bytes, the bundled ROMs,
// and comparison of the headless screen with golden PNG pictures.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

// A fresh, empty folder under the system's temporary folder, removed when the object goes.
struct TempFolder {
    std::string path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Creates the card's ROM folder (roms/colecovision) and returns its path.
    std::string rom_folder() const;
};

void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

// The ROM images the build assembles (boot ROM, demo cartridge, test cartridges): their path
// in the build tree.
std::string built_rom(const std::string& name);

// A headless configuration on the virtual clock with the given card folder.
HeadlessConfig test_config(const std::string& card_folder);

// Compares the shown headless screen with the golden PNG
// tests/<relative_path>. With VELKORO_UPDATE_GOLDENS=1 in the environment it writes the golden
// instead. Returns an empty string when equal, else a description of the first difference.
std::string compare_screen_with_golden(const std::string& relative_path);
