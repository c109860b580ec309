// The launcher's command line: velkoro [--sd DIR] [--scale N] [--fullscreen] [--help].
#include "machine/driver.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#ifndef VELKORO_BUNDLED_CARD
#define VELKORO_BUNDLED_CARD ""
#endif

SdlConfig sdl_config;

namespace {

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "velkoro: %s\n", message.c_str());
    std::exit(2);
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool parse_scale(const std::string& s, int& out) {
    if (s.empty() || s.size() > 2) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > SDL_MAX_SCALE) return false;
    out = v;
    return true;
}

} // namespace

void platform_configure(int argc, char** argv) {
    SdlConfig config;
    config.card_folder = VELKORO_BUNDLED_CARD;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage_error("option " + arg + " needs a value (see velkoro --help)");
            return argv[++i];
        };
        if (arg == "--sd") {
            config.card_folder = value();
        } else if (arg == "--scale") {
            std::string v = value();
            if (!parse_scale(v, config.scale))
                usage_error("--scale needs a whole number from 1 to 16, got \"" + v + "\"");
        } else if (arg == "--fullscreen") {
            config.fullscreen = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(SDL_HELP_TEXT, stdout);
            std::exit(0);
        } else {
            usage_error("unknown option " + arg + " (see velkoro --help)");
        }
    }
    if (config.card_folder.empty() || !is_directory(config.card_folder))
        usage_error("the card folder \"" + config.card_folder +
                    "\" does not exist; give the folder that holds roms/colecovision/ with --sd DIR");
    sdl_config = config;
    // A PC draws and presents every frame: effects that flicker at 30 Hz need all of them.
    frame_skip = 1;
    std::string error;
    if (!sdl_open_video(error))
        usage_error("no display to open a window on (" + error +
                    "); without one, run the headless runner: ./run.sh --headless");
}
