// The headless runner's command line and button scripts.
#include "platform/headless/headless.h"
#include "platform/platform.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#ifndef VELKORO_BUNDLED_CARD
#define VELKORO_BUNDLED_CARD ""
#endif

namespace {

struct ButtonName {
    const char* name;
    uint16_t mask;
};

constexpr ButtonName button_names[] = {
    {"UP", BTN_UP},       {"UPLEFT", BTN_UP_LEFT},
    {"LEFT", BTN_LEFT},   {"DOWNLEFT", BTN_DOWN_LEFT},
    {"DOWN", BTN_DOWN},   {"DOWNRIGHT", BTN_DOWN_RIGHT},
    {"RIGHT", BTN_RIGHT}, {"UPRIGHT", BTN_UP_RIGHT},
    {"START", BTN_START}, {"SELECT", BTN_SELECT},
    {"L", BTN_L},         {"R", BTN_R},
    {"A", BTN_A},         {"B", BTN_B},
    {"X", BTN_X},         {"Y", BTN_Y},
};

// KEY0..KEY9, KEYSTAR, KEYHASH -> keypad index; KEYPAD_NONE for any other name.
uint8_t keypad_key(const std::string& name) {
    if (name.size() == 4 && name.rfind("KEY", 0) == 0 && name[3] >= '0' && name[3] <= '9')
        return uint8_t(name[3] - '0');
    if (name == "KEYSTAR") return 10;
    if (name == "KEYHASH") return 11;
    return KEYPAD_NONE;
}

std::string trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

bool parse_ms(const std::string& s, uint32_t& out) {
    if (s.empty() || s.size() > 9) return false;
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint32_t(c - '0');
    }
    out = v;
    return true;
}

bool parse_entry(const std::string& entry, ScriptedPress& press, std::string& error) {
    size_t colon = entry.find(':');
    size_t dash = entry.find('-', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || dash == std::string::npos) {
        error = "expected NAME:START-END, got \"" + entry + "\"";
        return false;
    }
    std::string names = trim(entry.substr(0, colon));
    if (names.empty()) {
        error = "no button in \"" + entry + "\"";
        return false;
    }
    press.mask = 0;
    std::stringstream parts(names);
    std::string name;
    while (std::getline(parts, name, '+')) {
        name = trim(name);
        for (char& c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
        bool second = name.rfind("P2", 0) == 0;
        if (second) name.erase(0, 2);
        uint16_t mask = 0;
        for (const ButtonName& b : button_names)
            if (name == b.name) mask = b.mask;
        uint8_t key = keypad_key(name);
        uint8_t spin = name == "SPINR" ? SPIN_FIRST_RIGHT : name == "SPINL" ? SPIN_FIRST_LEFT : 0;
        press.spin |= uint8_t(second ? spin << 2 : spin);
        if (mask == 0 && key == KEYPAD_NONE && spin == 0) {
            error = "unknown button \"" + name + "\" in \"" + entry + "\"";
            return false;
        }
        (second ? press.second_mask : press.mask) |= mask;
        if (key != KEYPAD_NONE) {
            uint8_t& slot = second ? press.second_keypad : press.keypad;
            if (slot != KEYPAD_NONE) {
                error = "two keypad keys of one controller in \"" + entry + "\"";
                return false;
            }
            slot = key;
        }
    }
    if (!parse_ms(trim(entry.substr(colon + 1, dash - colon - 1)), press.start_ms) ||
        !parse_ms(trim(entry.substr(dash + 1)), press.end_ms)) {
        error = "bad time range in \"" + entry + "\" (milliseconds, START-END)";
        return false;
    }
    if (press.end_ms <= press.start_ms) {
        error = "empty time range in \"" + entry + "\"";
        return false;
    }
    return true;
}

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "velkoro-headless: %s\n", message.c_str());
    std::fprintf(
        stderr,
        "usage: velkoro-headless [--card DIR] [--buttons SCRIPT | --script FILE] [--ms N | --frames N]\n"
        "                        [--screenshot FILE.png] [--wav FILE.wav] [--real-clock]\n");
    std::exit(2);
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool parse_button_script(const std::string& text, std::vector<ScriptedPress>& out, std::string& error) {
    std::string entry;
    std::vector<ScriptedPress> presses;
    auto flush = [&]() {
        std::string e = trim(entry);
        entry.clear();
        if (e.empty()) return true;
        ScriptedPress p;
        if (!parse_entry(e, p, error)) return false;
        presses.push_back(p);
        return true;
    };
    bool comment = false;
    for (char c : text) {
        if (c == '\n') comment = false;
        if (comment) continue;
        if (c == '#') {
            comment = true;
            continue;
        }
        if (c == ',' || c == ';' || c == '\n') {
            if (!flush()) return false;
        } else {
            entry += c;
        }
    }
    if (!flush()) return false;
    out = presses;
    return true;
}

void platform_configure(int argc, char** argv) {
    HeadlessConfig config;
    config.card_folder = VELKORO_BUNDLED_CARD;
    config.report = true;
    std::string script_text;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage_error("option " + arg + " needs a value");
            return argv[++i];
        };
        auto number = [&]() -> uint32_t {
            std::string v = value();
            uint32_t n;
            if (!parse_ms(v, n) || n == 0)
                usage_error("option " + arg + " needs a positive number, got \"" + v + "\"");
            return n;
        };
        if (arg == "--card") {
            config.card_folder = value();
        } else if (arg == "--buttons") {
            script_text += value() + "\n";
        } else if (arg == "--script") {
            std::string path = value();
            std::ifstream in(path);
            if (!in) usage_error("cannot read button script " + path);
            std::stringstream ss;
            ss << in.rdbuf();
            script_text += ss.str() + "\n";
        } else if (arg == "--ms") {
            config.run_ms = number();
        } else if (arg == "--frames") {
            config.run_frames = number();
        } else if (arg == "--screenshot") {
            config.screenshot_path = value();
        } else if (arg == "--wav") {
            config.wav_path = value();
            config.record_audio = true;
        } else if (arg == "--real-clock") {
            config.real_clock = true;
        } else if (arg == "--help" || arg == "-h") {
            usage_error("runs Velkoro without a display");
        } else {
            usage_error("unknown option " + arg);
        }
    }
    if (config.card_folder.empty() || !is_directory(config.card_folder))
        usage_error("card folder \"" + config.card_folder + "\" does not exist (give one with --card DIR)");
    std::string error;
    if (!parse_button_script(script_text, config.presses, error)) usage_error("button script: " + error);
    headless_reset(config);
}
