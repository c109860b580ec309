#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string templ = (fs::temp_directory_path() / "velkoro-test-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) std::abort();
    path = buf.data();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string TempFolder::rom_folder() const {
    std::string dir = path + "/roms/colecovision";
    fs::create_directories(dir);
    return dir;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string built_rom(const std::string& name) {
    return std::string(VELKORO_BUILD_DIR) + "/card/roms/colecovision/" + name;
}

HeadlessConfig test_config(const std::string& card_folder) {
    HeadlessConfig c;
    c.card_folder = card_folder;
    return c;
}

std::string compare_screen_with_golden(const std::string& relative_path) {
    std::string golden = std::string(VELKORO_TEST_SOURCE_DIR) + "/" + relative_path;
    const uint16_t* screen = headless_shown_buffer();
    const char* update = std::getenv("VELKORO_UPDATE_GOLDENS");
    if (update && std::string(update) == "1") {
        fs::create_directories(fs::path(golden).parent_path());
        if (!write_png_rgb565(golden, screen, 320, 240, 320)) return "cannot write " + golden;
        return "";
    }
    // Compare through the same PNG encoding the goldens were written with.
    std::string actual =
        (fs::temp_directory_path() / ("velkoro-actual-" + std::to_string(getpid()) + ".png")).string();
    if (!write_png_rgb565(actual, screen, 320, 240, 320)) return "cannot write " + actual;
    std::vector<uint32_t> a, g;
    int aw, ah, gw, gh;
    bool ok_a = read_png_rgb(actual, a, aw, ah);
    bool ok_g = read_png_rgb(golden, g, gw, gh);
    if (!ok_g)
        return "golden picture " + golden + " is missing or unreadable (actual kept at " + actual + ")";
    if (!ok_a) return "cannot read back " + actual;
    if (aw != gw || ah != gh) return "size differs from " + golden;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != g[i]) {
            char msg[256];
            std::snprintf(msg, sizeof msg, "pixel (%zu, %zu) is %06X, golden %06X (actual kept at %s)",
                          i % size_t(aw), i / size_t(aw), unsigned(a[i]), unsigned(g[i]), actual.c_str());
            return msg;
        }
    }
    std::remove(actual.c_str());
    return "";
}
