// The PC program's actions on a running game: state slots kept as files, rewind, fast-forward,
// screenshots and the messages over the picture that answer them. Keys only ask for an action;
// it is done at the next frame end, where the game stands between two frames.
#include "machine/play.h"
#include "machine/state.h"
#include "platform/common/files.h"
#include "platform/common/png.h"
#include "platform/common/screens.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "video/vdp.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Asked for by a key, done at the next frame end.
bool save_asked = false;
bool load_asked = false;
bool screenshot_asked = false;

int slot = 0;

std::string message;
uint64_t message_until_us = 0;
constexpr uint64_t MESSAGE_US = 2000000;

// The rewind ring: a record every REWIND_EVERY frames, `count` of them ending before `head`.
std::vector<uint8_t> ring;
uint32_t ring_records = 0;
uint32_t record_bytes = 0;
uint32_t head = 0;
uint32_t count = 0;
uint32_t frames_since_capture = 0;
bool rewinding = false;
bool fast = false;

void say(const std::string& text, uint64_t now) {
    message = text;
    message_until_us = now + MESSAGE_US;
}

std::string cartridge_name() {
    const char* slash = std::strrchr(cartridge_path, '/');
    std::string name = slash ? slash + 1 : cartridge_path;
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string slot_text() { return "slot " + std::to_string(slot); }

void save_slot(uint64_t now) {
    const std::string folder = sdl_state_folder();
    if (folder.empty()) return say("Not saved: neither XDG_DATA_HOME nor HOME is set", now);
    std::vector<uint8_t> record(state_record_bytes());
    sdl_audio_lock(true);
    const uint32_t bytes = state_save(record.data(), uint32_t(record.size()), now);
    sdl_audio_lock(false);
    if (bytes == 0) return say(STATE_NO_GAME, now);
    const char* failed = write_whole_file(sdl_slot_path(folder, cartridge_path, slot), record.data(), bytes);
    if (failed) return say("Not saved (" + std::string(failed) + ")", now);
    say("State " + std::to_string(slot) + " saved", now);
}

void load_slot(uint64_t now) {
    const std::string folder = sdl_state_folder();
    const std::string path = folder.empty() ? "" : sdl_slot_path(folder, cartridge_path, slot);
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) {
        const bool missing = path.empty() || errno == ENOENT;
        return say(missing ? "No state in " + slot_text() : "Cannot read " + slot_text(), now);
    }
    // One byte more than the largest record: a longer file is refused without being read whole.
    std::vector<uint8_t> data(STATE_MAX_BYTES + 1);
    const size_t got = std::fread(data.data(), 1, data.size(), f);
    std::fclose(f);
    sdl_audio_lock(true);
    const char* why = state_load(data.data(), got, nullptr);
    sdl_audio_lock(false);
    say(why ? std::string(why) + " (" + slot_text() + ")" : "State " + std::to_string(slot) + " loaded", now);
}

void screenshot(uint64_t now) {
    const std::string folder = sdl_picture_folder();
    if (folder.empty() || !make_folders(folder))
        return say("Screenshot not written: no folder for it (" + (folder.empty() ? "HOME is not set" : folder) + ")",
                   now);
    const std::string base = folder + "/velkoro-" + cartridge_name() + "-";
    for (int n = 1; n < 1000; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", n);
        const std::string name = base + number + ".png";
        if (access(name.c_str(), F_OK) == 0) continue;
        const bool ok = write_png_rgb565(name, host_shown_screen(), VDP_PICTURE_WIDTH, VDP_PICTURE_HEIGHT, DISPLAY_WIDTH);
        return say(ok ? "Screenshot " + name.substr(folder.size() + 1) : "Screenshot not written (" + std::string(std::strerror(errno)) + ")",
                   now);
    }
    say("Screenshot not written: 999 are there already", now);
}

// One record into the ring, over the oldest once it is full. The ring is made at the first
// capture: every game's record has the same size.
void capture() {
    if (ring_records == 0) {
        record_bytes = state_record_bytes();
        if (record_bytes == 0) return;
        ring_records = std::min<uint32_t>(SDL_REWIND_MAX_BYTES / record_bytes, SDL_REWIND_MAX_RECORDS);
        ring.resize(size_t(ring_records) * record_bytes);
    }
    uint8_t* at = ring.data() + size_t(head) * record_bytes;
    sdl_audio_lock(true);
    const bool saved = state_save(at, record_bytes, 0) == record_bytes;
    sdl_audio_lock(false);
    if (!saved) return;
    head = (head + 1) % ring_records;
    if (count < ring_records) ++count;
}

void rewind_step(uint64_t now) {
    if (count == 0) return say("No further back", now);
    head = (head + ring_records - 1) % ring_records;
    --count;
    sdl_audio_lock(true);
    state_load(ring.data() + size_t(head) * record_bytes, record_bytes, nullptr);
    sdl_audio_lock(false);
    say("Rewinding", now);
}

} // namespace

std::string sdl_state_folder() { return xdg_path("XDG_DATA_HOME", "/.local/share", "/velkoro/states"); }

// Where a desktop keeps pictures: XDG_PICTURES_DIR from the environment or from the user's
// user-dirs.dirs (where it is written as "$HOME/..."), else ~/Pictures.
std::string sdl_picture_folder() {
    const char* home = std::getenv("HOME");
    const std::string home_text = home ? home : "";
    std::string pictures;
    if (const char* set = std::getenv("XDG_PICTURES_DIR"); set && *set == '/') pictures = set;
    const std::string dirs = xdg_path("XDG_CONFIG_HOME", "/.config", "/user-dirs.dirs");
    if (FILE* f = pictures.empty() && !dirs.empty() ? std::fopen(dirs.c_str(), "r") : nullptr) {
        char line[1024];
        while (std::fgets(line, sizeof line, f)) {
            std::string l = line;
            const std::string key = "XDG_PICTURES_DIR=\"";
            if (l.compare(0, key.size(), key) != 0) continue;
            std::string value = l.substr(key.size(), l.find('"', key.size()) - key.size());
            if (value.compare(0, 5, "$HOME") == 0 && !home_text.empty()) value = home_text + value.substr(5);
            if (!value.empty() && value[0] == '/') pictures = value;
        }
        std::fclose(f);
    }
    if (pictures.empty() && !home_text.empty()) pictures = home_text + "/Pictures";
    return pictures.empty() ? "" : pictures + "/velkoro";
}

std::string sdl_slot_path(const std::string& folder, const char* cartridge, int n) {
    const char* slash = std::strrchr(cartridge, '/');
    return folder + "/" + (slash ? slash + 1 : cartridge) + "." + std::to_string(n) + ".state";
}

bool sdl_action(WindowAction action, bool in_game, uint64_t now) {
    if (!in_game) return false;
    switch (action) {
    case ACTION_SAVE_STATE: save_asked = true; return true;
    case ACTION_LOAD_STATE: load_asked = true; return true;
    case ACTION_SCREENSHOT: screenshot_asked = true; return true;
    case ACTION_SLOT_NEXT:
    case ACTION_SLOT_PREVIOUS:
        slot = (slot + (action == ACTION_SLOT_NEXT ? 1 : SDL_STATE_SLOTS - 1)) % SDL_STATE_SLOTS;
        say("Slot " + std::to_string(slot), now);
        return true;
    case ACTION_FAST_FORWARD:
    case ACTION_REWIND: return true; // held: looked at every frame end
    default: return false;
    }
}

void sdl_actions_frame_end(const uint8_t* keys, uint64_t now) {
    if (save_asked) save_slot(now);
    if (load_asked) load_slot(now);
    if (screenshot_asked) screenshot(now);
    save_asked = load_asked = screenshot_asked = false;
    bool rewind_held = false, fast_held = false;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        const int c = keys[sc] ? key_control(sc) : -1;
        if (c < 0) continue;
        rewind_held = rewind_held || CONTROLS[c].action == ACTION_REWIND;
        fast_held = fast_held || CONTROLS[c].action == ACTION_FAST_FORWARD;
    }
    rewinding = rewind_held;
    fast = fast_held && !rewind_held;
    if (rewinding) return rewind_step(now);
    if (fast && message_until_us < now + MESSAGE_US / 4) say("Fast-forward", now);
    if (++frames_since_capture >= SDL_REWIND_EVERY) {
        frames_since_capture = 0;
        capture();
    }
}

void sdl_actions_new_game() {
    head = count = frames_since_capture = 0;
    rewinding = fast = false;
    save_asked = load_asked = screenshot_asked = false;
    message.clear();
    message_until_us = 0;
}

bool sdl_rewinding() { return rewinding; }
bool sdl_fast_forward() { return fast; }
int sdl_slot() { return slot; }
uint32_t sdl_rewind_records() { return count; }

const char* sdl_message(uint64_t now) { return now < message_until_us ? message.c_str() : nullptr; }
