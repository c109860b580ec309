// What the fuzz targets share: their card folder, the screen and picture buffers, the checks.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "frontend/surface.h"
#include "platform/headless/headless.h"
#include "tests/fuzz/fuzz_targets.h"
#include "video/vdp.h"

namespace {

std::string card_folder;
std::string written_path;
uint8_t picture[VDP_PICTURE_BYTES];

void remove_card() {
    if (!card_folder.empty()) std::system(("rm -rf '" + card_folder + "'").c_str());
}

} // namespace

void fuzz_check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

const char* fuzz_card() {
    if (!card_folder.empty()) return card_folder.c_str();
    // In memory where the system offers a folder there: most targets write a file every run.
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string folder = std::string(base) + "/velkoro-fuzz-XXXXXX";
        if (mkdtemp(folder.data())) {
            card_folder = folder;
            break;
        }
    }
    fuzz_check(!card_folder.empty(), "cannot make the card folder");
    std::atexit(remove_card);
    std::system(("mkdir -p '" + card_folder + "/roms/colecovision'").c_str());
    HeadlessConfig config;
    config.card_folder = card_folder;
    headless_reset(config);
    // What the program's start-up provides: the screen (shown at once) and the picture buffer.
    screen_surface = Surface{display_drawing_pointer(), 0, 16, DISPLAY_WIDTH, DISPLAY_WIDTH, DISPLAY_HEIGHT};
    vdp_picture = picture;
    return card_folder.c_str();
}

const char* fuzz_write_card_file(const char* name, const uint8_t* data, size_t size) {
    written_path = std::string(fuzz_card()) + "/roms/colecovision/" + name;
    // A new file each time: on ext4, a file cut to nothing and written again is flushed to the
    // disk when it is closed, which costs more than everything else a run does.
    std::remove(written_path.c_str());
    FILE* f = std::fopen(written_path.c_str(), "wb");
    fuzz_check(f != nullptr, "cannot write a card file");
    fuzz_check(size == 0 || std::fwrite(data, 1, size, f) == size, "cannot write a card file");
    std::fclose(f);
    return written_path.c_str();
}

std::vector<uint8_t> fuzz_read_file(const char* path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path, "rb");
    if (!f) return bytes;
    uint8_t buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}
