// The PC program's start: the command line over the settings file, the card folder, and a
// cartridge opened directly with the BIOS found for it.
#include "frontend/manager.h"
#include "machine/driver.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool is_file(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Why a folder cannot serve as the card, or "" when it can.
std::string card_problem(const std::string& folder) {
    if (folder.empty() || !exists(folder)) return "the card folder \"" + folder + "\" does not exist";
    if (!is_directory(folder)) return "\"" + folder + "\" is a file, not a card folder";
    return "";
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

// The name of the BIOS in `folder`: coleco.rom in any letter case, or "" when there is none.
std::string bios_in(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return "";
    std::string found;
    while (dirent* e = readdir(dir)) {
        std::string upper = e->d_name;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (upper == "COLECO.ROM" && is_file(folder + "/" + e->d_name)) {
            found = e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

std::string program_folder() {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return "";
    exe[n] = '\0';
    std::string path = exe;
    return path.substr(0, path.rfind('/'));
}

std::string absolute(const std::string& path) {
    char full[PATH_MAX];
    return realpath(path.c_str(), full) ? std::string(full) : path;
}

} // namespace

std::string sdl_find_bios(const std::string& cartridge) {
    if (bios_named) return bios_path;
    const size_t slash = cartridge.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : cartridge.substr(0, slash);
    std::string name = bios_in(folder);
    if (!name.empty()) return folder + "/" + name;
    const std::string card_roms = sdl_config.card_folder + "/roms/colecovision";
    name = bios_in(card_roms);
    if (!name.empty()) return card_roms + "/" + name;
    const std::string here = program_folder();
    for (const std::string& own : {here + "/card/roms/colecovision/coleco.rom", here + "/../share/velkoro/coleco.rom",
                                   std::string(VELKORO_BUNDLED_CARD) + "/roms/colecovision/coleco.rom"})
        if (!here.empty() && is_file(own)) return absolute(own);
    return card_roms + "/coleco.rom";
}

void platform_configure(int argc, char** argv) {
    std::string config_path = default_settings_path(), cartridge, card, bios;
    SdlSettings asked; // only the fields named below are looked at
    bool scale_given = false, card_given = false;
    int whole = -1, smooth = -1, fullscreen = -1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage_error("option " + arg + " needs a value (see velkoro --help)");
            return argv[++i];
        };
        if (arg == "--sd") {
            card = value();
            card_given = true;
        } else if (arg == "--bios") {
            bios = value();
        } else if (arg == "--config") {
            config_path = value();
        } else if (arg == "--scale") {
            std::string v = value();
            if (!parse_scale(v, asked.scale))
                usage_error("--scale needs a whole number from 1 to 16, got \"" + v + "\"");
            scale_given = true;
        } else if (arg == "--whole" || arg == "--fill") {
            whole = arg == "--whole";
        } else if (arg == "--smooth" || arg == "--sharp") {
            smooth = arg == "--smooth";
        } else if (arg == "--fullscreen" || arg == "--window") {
            fullscreen = arg == "--fullscreen";
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(SDL_HELP_TEXT, stdout);
            std::exit(0);
        } else if (arg.rfind("-", 0) == 0 || !cartridge.empty()) {
            usage_error("unknown option " + arg + " (see velkoro --help)");
        } else if (is_directory(arg)) {
            usage_error("\"" + arg + "\" is a folder: give a cartridge file, or a card folder with --sd DIR");
        } else if (!is_file(arg)) {
            usage_error("there is no cartridge file \"" + arg + "\"");
        } else {
            cartridge = arg;
        }
    }
    if (!bios.empty() && !is_file(bios)) usage_error("there is no BIOS file \"" + bios + "\" (--bios)");

    // The settings file first, then what the command line says over it; what changed is kept.
    SdlSettings s = default_settings();
    if (!config_path.empty()) read_settings(config_path, s);
    const std::string as_read = settings_text(s);
    if (card_given) {
        std::string problem = card_problem(card);
        if (!problem.empty()) usage_error(problem + "; give the folder that holds roms/colecovision/ with --sd DIR");
        s.card_folder = absolute(card);
    }
    if (scale_given) s.scale = asked.scale;
    if (whole >= 0) s.whole_scaling = whole;
    if (smooth >= 0) s.smooth = smooth;
    if (fullscreen >= 0) s.fullscreen = fullscreen;
    sdl_settings = s;
    sdl_settings_path = config_path;

    sdl_config = SdlConfig{};
    sdl_config.card_folder = s.card_folder;
    if (!s.card_folder.empty() && !card_problem(s.card_folder).empty()) {
        std::fprintf(stderr, "velkoro: %s (from %s); the bundled card is used\n", card_problem(s.card_folder).c_str(),
                     config_path.c_str());
        sdl_config.card_folder.clear();
    }
    if (sdl_config.card_folder.empty()) sdl_config.card_folder = VELKORO_BUNDLED_CARD;
    if (!card_problem(sdl_config.card_folder).empty())
        usage_error(card_problem(sdl_config.card_folder) + "; give the folder that holds roms/colecovision/ with --sd DIR");

    // A PC draws and presents every frame: effects that flicker at 30 Hz need all of them.
    frame_skip = 1;
    std::string error;
    if (!sdl_open_video(error))
        usage_error("no display to open a window on (" + error +
                    "); without one, run the headless runner: ./run.sh --headless");
    // Kept only by a run that starts.
    if (settings_text(s) != as_read) save_settings();
    if (s.scale > sdl_desktop_scale())
        std::fprintf(stderr, "velkoro: a window of scale %d does not fit the desktop; it opens at scale %d\n",
                     s.scale, sdl_desktop_scale());

    if (!bios.empty()) {
        std::snprintf(bios_path, sizeof bios_path, "%s", absolute(bios).c_str());
        bios_named = true;
    }
    if (!cartridge.empty()) {
        sdl_config.opened_cartridge = absolute(cartridge);
        sdl_config.opened_bios = sdl_find_bios(sdl_config.opened_cartridge);
    } else if (!s.last_cartridge.empty()) {
        // START in the cartridge manager runs the last cartridge again.
        std::snprintf(cartridge_path, sizeof cartridge_path, "%s", s.last_cartridge.c_str());
    }
}
