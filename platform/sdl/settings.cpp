// The settings file: read with inih, written whole and atomically.
#include "platform/sdl/settings.h"
#include "platform/common/files.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ini.h>
#include <sys/stat.h>
#include <unistd.h>

SdlSettings sdl_settings;
std::string sdl_settings_path;

namespace {

#define PLAYER_CONTROLS(owner)                                                                          \
    {"up", owner, BTN_UP, KEYPAD_NONE, ACTION_NONE}, {"down", owner, BTN_DOWN, KEYPAD_NONE, ACTION_NONE}, \
        {"left", owner, BTN_LEFT, KEYPAD_NONE, ACTION_NONE},                                            \
        {"right", owner, BTN_RIGHT, KEYPAD_NONE, ACTION_NONE},                                          \
        {"start", owner, BTN_START, KEYPAD_NONE, ACTION_NONE},                                          \
        {"select", owner, BTN_SELECT, KEYPAD_NONE, ACTION_NONE},                                        \
        {"l", owner, BTN_L, KEYPAD_NONE, ACTION_NONE}, {"r", owner, BTN_R, KEYPAD_NONE, ACTION_NONE},    \
        {"a", owner, BTN_A, KEYPAD_NONE, ACTION_NONE}, {"b", owner, BTN_B, KEYPAD_NONE, ACTION_NONE},    \
        {"x", owner, BTN_X, KEYPAD_NONE, ACTION_NONE}, {"y", owner, BTN_Y, KEYPAD_NONE, ACTION_NONE},    \
        {"key0", owner, 0, 0, ACTION_NONE}, {"key1", owner, 0, 1, ACTION_NONE},                          \
        {"key2", owner, 0, 2, ACTION_NONE}, {"key3", owner, 0, 3, ACTION_NONE},                          \
        {"key4", owner, 0, 4, ACTION_NONE}, {"key5", owner, 0, 5, ACTION_NONE},                          \
        {"key6", owner, 0, 6, ACTION_NONE}, {"key7", owner, 0, 7, ACTION_NONE},                          \
        {"key8", owner, 0, 8, ACTION_NONE}, {"key9", owner, 0, 9, ACTION_NONE},                          \
        {"star", owner, 0, 10, ACTION_NONE}, {"hash", owner, 0, 11, ACTION_NONE},                        \
        {"spin_left", owner, 0, KEYPAD_NONE, ACTION_SPIN_LEFT},                                         \
        {"spin_right", owner, 0, KEYPAD_NONE, ACTION_SPIN_RIGHT}

// The defaults, control by control in the order of CONTROLS: key names as SDL names the keys
// (the letters as the keyboard labels them, so that A, B, X and Y are the prompts' buttons).
// None of them is bound twice, and none is a key another part of the program keeps for itself.
const char* const DEFAULT_KEYS[CONTROL_COUNT] = {
    // The first player: the arrows, the handheld's buttons on their own letters and on keys for
    // the left hand, the number row as the keypad.
    "Up", "Down", "Left", "Right", "Return", "Backspace", "Q", "W", "A,Z,Left Ctrl", "B,Space",
    "X,Left Shift", "Y", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "-", "=", "Comma", ".",
    // The second player, for the right hand, with the numeric keypad as its keypad.
    "I", "K", "J", "L", "", "", "", "", "U", "O", "", "", "Keypad 0", "Keypad 1", "Keypad 2",
    "Keypad 3", "Keypad 4", "Keypad 5", "Keypad 6", "Keypad 7", "Keypad 8", "Keypad 9",
    "Keypad *", "Keypad /", "N", "M",
    // The window: the pause, fullscreen, the mouse for the spinner, the state slots, reset, the
    // screenshot, fast-forward and rewind (the last two while held).
    "Escape,P,Pause", "F11", "F10", "F2", "F4", "F3", "F1", "F9", "F12", "Tab", "F5"};

// Game controller buttons by place: the handheld has A on the left, B on the right, X at the
// bottom and Y at the top.
constexpr SDL_GameControllerButton DEFAULT_PAD[CONTROL_BUTTONS] = {
    SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,    SDL_CONTROLLER_BUTTON_DPAD_LEFT,
    SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_START,     SDL_CONTROLLER_BUTTON_BACK,
    SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_X,
    SDL_CONTROLLER_BUTTON_B,  SDL_CONTROLLER_BUTTON_A,                 SDL_CONTROLLER_BUTTON_Y};

// A settings file larger than this is no settings file.
constexpr long SETTINGS_MAX_BYTES = 1 << 20;

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// Items of a comma-separated list, trimmed; "" gives none.
std::vector<std::string> split(const char* value) {
    std::vector<std::string> out;
    std::string item;
    for (const char* c = value;; ++c) {
        if (*c == ',' || *c == '\0') {
            std::string t = trim(item);
            if (!t.empty()) out.push_back(t);
            item.clear();
            if (*c == '\0') break;
        } else {
            item += *c;
        }
    }
    return out;
}

// The comma separates the items of a list, so the comma key is called by its name.
SDL_Keycode key_from_name(const std::string& name) {
    if (SDL_strcasecmp(name.c_str(), "Comma") == 0) return SDLK_COMMA;
    return SDL_GetKeyFromName(name.c_str());
}

std::string key_name(SDL_Keycode k) { return k == SDLK_COMMA ? "Comma" : SDL_GetKeyName(k); }

bool parse_keys(const char* value, std::vector<SDL_Keycode>& out, std::string& bad) {
    std::vector<SDL_Keycode> keys;
    for (const std::string& n : split(value)) {
        SDL_Keycode k = key_from_name(n);
        if (k == SDLK_UNKNOWN) {
            bad = n;
            return false;
        }
        keys.push_back(k);
    }
    out = keys;
    return true;
}

bool parse_pad(const char* value, std::vector<SDL_GameControllerButton>& out, std::string& bad) {
    std::vector<SDL_GameControllerButton> buttons;
    for (const std::string& n : split(value)) {
        SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(n.c_str());
        if (b == SDL_CONTROLLER_BUTTON_INVALID) {
            bad = n;
            return false;
        }
        buttons.push_back(b);
    }
    out = buttons;
    return true;
}

bool parse_bool(const char* v, bool& out) {
    for (const char* yes : {"yes", "true", "on", "1"})
        if (SDL_strcasecmp(v, yes) == 0) return out = true, true;
    for (const char* no : {"no", "false", "off", "0"})
        if (SDL_strcasecmp(v, no) == 0) return out = false, true;
    return false;
}

bool parse_int(const char* v, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    long n = std::strtol(v, &end, 10);
    if (errno != 0 || end == v || *end != '\0' || n < low || n > high) return false;
    out = int(n);
    return true;
}

struct Reading {
    SdlSettings* s;
    const std::string* path;
    int warnings = 0;
    FILE* file = nullptr;
    bool long_line = false;
};

void warn(Reading& r, const std::string& what) {
    std::fprintf(stderr, "velkoro: %s: %s\n", r.path->c_str(), what.c_str());
    ++r.warnings;
}

// One setting. Always goes on: a bad setting is reported here and keeps its default, so that the
// parser's own error count names only lines that are no setting at all.
int on_setting(void* user, const char* section, const char* name, const char* value) {
    Reading& r = *static_cast<Reading*>(user);
    SdlSettings& s = *r.s;
    const std::string sec = section, key = name, where = sec + "." + key;
    auto bad_value = [&](const char* expected) {
        warn(r, where + " = \"" + value + "\" is not " + expected + "; the default is kept");
        return 1;
    };
    if (sec == "window" && key == "scale")
        return parse_int(value, 1, SDL_MAX_SCALE, s.scale) ? 1 : bad_value("a whole number from 1 to 16");
    if (sec == "window" && key == "scaling") {
        if (SDL_strcasecmp(value, "whole") == 0 || SDL_strcasecmp(value, "fill") == 0) {
            s.whole_scaling = SDL_strcasecmp(value, "whole") == 0;
            return 1;
        }
        return bad_value("whole or fill");
    }
    if (sec == "window" && key == "smooth") return parse_bool(value, s.smooth) ? 1 : bad_value("yes or no");
    if (sec == "window" && key == "fullscreen")
        return parse_bool(value, s.fullscreen) ? 1 : bad_value("yes or no");
    if (sec == "sound" && key == "volume")
        return parse_int(value, 0, 100, s.volume) ? 1 : bad_value("a percentage from 0 to 100");
    if (sec == "card" && key == "folder") return s.card_folder = value, 1;
    if (sec == "card" && key == "last_cartridge") return s.last_cartridge = value, 1;
    std::string bad;
    for (int c = 0; c < CONTROL_COUNT; ++c) {
        if (key != CONTROLS[c].name) continue;
        if (sec == control_section(CONTROLS[c].owner)) {
            if (parse_keys(value, s.keys[c], bad)) return 1;
            warn(r, where + ": no key is called \"" + bad + "\"; the default is kept");
            return 1;
        }
        const int player = CONTROLS[c].owner == CONTROL_PLAYER1 ? 0 : 1;
        const int button = c - player * CONTROL_PER_PLAYER;
        if (CONTROLS[c].owner != CONTROL_WINDOW && button < CONTROL_BUTTONS &&
            sec == (player == 0 ? "pad.player1" : "pad.player2")) {
            if (parse_pad(value, s.pad_buttons[player][button], bad)) return 1;
            warn(r, where + ": no game controller button is called \"" + bad + "\"; the default is kept");
            return 1;
        }
    }
    warn(r, "unknown setting " + where + " is passed over");
    return 1;
}

// fgets as inih wants it, but a line longer than inih's buffer is not cut into pieces that would
// each be read as a line of its own: the rest of it is skipped and the line is read as no setting.
char* read_line(char* str, int num, void* stream) {
    Reading& r = *static_cast<Reading*>(stream);
    if (!std::fgets(str, num, r.file)) return nullptr;
    size_t n = std::strlen(str);
    if (n + 1 == size_t(num) && str[n - 1] != '\n') {
        int c;
        while ((c = std::fgetc(r.file)) != EOF && c != '\n') {
        }
        r.long_line = true;
        std::snprintf(str, size_t(num), "!\n");
    }
    return str;
}

void append_keys(std::string& t, const std::vector<SDL_Keycode>& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i) t += ", ";
        t += key_name(keys[i]);
    }
}

} // namespace

const ControlInfo CONTROLS[CONTROL_COUNT] = {
    PLAYER_CONTROLS(CONTROL_PLAYER1),
    PLAYER_CONTROLS(CONTROL_PLAYER2),
    {"pause", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_PAUSE},
    {"fullscreen", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_FULLSCREEN},
    {"spinner_mouse", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_MOUSE},
    {"save_state", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_SAVE_STATE},
    {"load_state", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_LOAD_STATE},
    {"next_slot", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_SLOT_NEXT},
    {"previous_slot", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_SLOT_PREVIOUS},
    {"reset", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_RESET},
    {"screenshot", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_SCREENSHOT},
    {"fast_forward", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_FAST_FORWARD},
    {"rewind", CONTROL_WINDOW, 0, KEYPAD_NONE, ACTION_REWIND},
};

const char* control_section(ControlOwner owner) {
    return owner == CONTROL_PLAYER1 ? "keys.player1" : owner == CONTROL_PLAYER2 ? "keys.player2" : "keys.window";
}

SdlSettings default_settings() {
    SdlSettings s;
    std::string unused;
    for (int c = 0; c < CONTROL_COUNT; ++c) parse_keys(DEFAULT_KEYS[c], s.keys[c], unused);
    for (auto& player : s.pad_buttons)
        for (int b = 0; b < CONTROL_BUTTONS; ++b) player[b] = {DEFAULT_PAD[b]};
    return s;
}

std::string xdg_path(const char* variable, const char* under_home, const char* rest) {
    const char* xdg = std::getenv(variable);
    if (xdg && *xdg == '/') return std::string(xdg) + rest;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + under_home + rest;
    return "";
}

std::string default_settings_path() { return xdg_path("XDG_CONFIG_HOME", "/.config", "/velkoro/velkoro.ini"); }

int read_settings(const std::string& path, SdlSettings& out) {
    Reading r{&out, &path};
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) warn(r, std::string("cannot be read (") + std::strerror(errno) + "); defaults used");
        return r.warnings;
    }
    if (!S_ISREG(st.st_mode) || st.st_size > SETTINGS_MAX_BYTES) {
        warn(r, "is not a settings file; defaults used");
        return r.warnings;
    }
    r.file = std::fopen(path.c_str(), "r");
    if (!r.file) {
        warn(r, std::string("cannot be read (") + std::strerror(errno) + "); defaults used");
        return r.warnings;
    }
    int line = ini_parse_stream(read_line, &r, on_setting, &r);
    std::fclose(r.file);
    if (line > 0)
        warn(r, "line " + std::to_string(line) + (r.long_line ? " or a later one is too long" : " is not a setting") +
                    " and is passed over");
    return r.warnings;
}

std::string settings_text(const SdlSettings& s) {
    std::string t =
        "# Velkoro's settings, written by the program whenever one changes (see README.md).\n"
        "# Keys are named as the keyboard labels them (A, Left Ctrl, Keypad 7, Comma, ...);\n"
        "# several keys for one control are separated by commas.\n\n";
    t += "[window]\nscale = " + std::to_string(s.scale) + "\nscaling = " + (s.whole_scaling ? "whole" : "fill") +
         "\nsmooth = " + (s.smooth ? "yes" : "no") + "\nfullscreen = " + (s.fullscreen ? "yes" : "no") + "\n\n";
    t += "[sound]\nvolume = " + std::to_string(s.volume) + "\n\n";
    t += "[card]\nfolder = " + s.card_folder + "\nlast_cartridge = " + s.last_cartridge + "\n";
    ControlOwner section = CONTROL_WINDOW;
    for (int c = 0; c < CONTROL_COUNT; ++c) {
        if (c == 0 || CONTROLS[c].owner != section) {
            section = CONTROLS[c].owner;
            t += std::string("\n[") + control_section(section) + "]\n";
        }
        t += std::string(CONTROLS[c].name) + " = ";
        append_keys(t, s.keys[c]);
        t += "\n";
    }
    for (int player = 0; player < 2; ++player) {
        t += player == 0 ? "\n[pad.player1]\n" : "\n[pad.player2]\n";
        for (int b = 0; b < CONTROL_BUTTONS; ++b) {
            t += std::string(CONTROLS[b].name) + " = ";
            const auto& buttons = s.pad_buttons[player][b];
            for (size_t i = 0; i < buttons.size(); ++i) {
                if (i) t += ", ";
                t += SDL_GameControllerGetStringForButton(buttons[i]);
            }
            t += "\n";
        }
    }
    return t;
}

const char* write_whole_file(const std::string& path, const void* data, size_t size) {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_folders(path.substr(0, slash))) return std::strerror(errno);
    return write_file_atomically(path, static_cast<const uint8_t*>(data), size);
}

bool write_settings(const std::string& path, const SdlSettings& s) {
    const std::string text = settings_text(s);
    const char* failed = write_whole_file(path, text.data(), text.size());
    if (failed)
        std::fprintf(stderr, "velkoro: cannot keep the settings in %s (%s)\n", path.c_str(), failed);
    return !failed;
}

void save_settings() {
    if (!sdl_settings_path.empty()) write_settings(sdl_settings_path, sdl_settings);
}
