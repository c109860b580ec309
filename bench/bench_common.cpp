#include "bench/bench_common.h"

#include <cstdint>
#include <filesystem>
#include <system_error>
#include <vector>

#include "frontend/surface.h"
#include "platform/common/files.h"
#include "platform/platform.h"
#include "video/vdp.h"

std::string make_bench_card(const std::string& card) {
    std::string games = card + "/roms/colecovision";
    return make_folders(games) ? games : std::string();
}

// Without a shell: a card path with a quote in it is still only a path.
bool remove_bench_card(const std::string& card) {
    std::error_code error;
    std::filesystem::remove_all(card, error);
    return !error;
}

void start_headless_bench(HeadlessConfig config) {
    config.unpaced = true;
    headless_reset(config);
    static std::vector<uint8_t> picture(VDP_PICTURE_BYTES, 0);
    vdp_picture = picture.data();
    screen_surface = Surface{display_drawing_pointer(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, DISPLAY_HEIGHT};
}
