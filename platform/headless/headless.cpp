// The headless back end: display buffers in memory, a virtual or real clock, scripted buttons,
// the card-folder mapping, and the end of a run (screenshot and recorded audio, then a normal
// process exit). The audio thread lives in audio.cpp.
#include "platform/headless/headless.h"
#include "machine/state.h"
#include "platform/common/card.h"
#include "platform/common/files.h"
#include "platform/common/screens.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

HeadlessConfig headless_config;

namespace {

bool initialised = false;
bool finishing = false;
uint64_t virtual_us = 0;
std::chrono::steady_clock::time_point real_origin;
uint32_t frames_ended = 0;
int exit_status = 0;

// Clock time outside games: what earlier stretches added up to, and where the current one began.
bool in_game = false;
uint32_t outside_before_ms = 0;
uint32_t outside_since_ms = 0;

// The record of the last frame end, kept for --save-state; whether --load-state was tried.
std::vector<uint8_t> last_record;
bool load_tried = false;

uint64_t clock_us() {
    if (headless_config.real_clock) {
        auto now = std::chrono::steady_clock::now();
        return uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now - real_origin).count());
    }
    return virtual_us;
}

uint32_t clock_ms() { return uint32_t(clock_us() / 1000); }

// The clock time of [from, to) that lies outside games after the last scripted press: a script
// may spend as long as it likes in the front end before it starts a game.
uint32_t script_end_ms() {
    uint32_t end = 0;
    for (const ScriptedPress& p : headless_config.presses) end = std::max(end, p.end_ms);
    return end;
}
uint32_t outside_span(uint32_t from, uint32_t to) {
    from = std::max(from, script_end_ms());
    return to > from ? to - from : 0;
}
uint32_t outside_game_ms() { return outside_before_ms + (in_game ? 0 : outside_span(outside_since_ms, clock_ms())); }

void finish() {
    finishing = true;
    std::exit(exit_status);
}

// Ends the run once its length is reached: the exit handlers write the screenshot.
void check_run_end() {
    if (finishing) return;
    bool done = (headless_config.run_ms != 0 && clock_ms() >= headless_config.run_ms) ||
                (headless_config.run_frames != 0 && frames_ended >= headless_config.run_frames);
    if (done) finish();
    if (headless_config.outside_game_limit_ms != 0 && outside_game_ms() >= headless_config.outside_game_limit_ms) {
        std::fprintf(stderr,
                     "velkoro-headless: no game ran in %u ms of clock time after the buttons; the run ends "
                     "(--frames counts a game's frames)\n",
                     outside_game_ms());
        exit_status = 1;
        finish();
    }
}

// After a load: the run goes on on the saving run's clock (the virtual one can be moved there),
// and counts its frames from the loaded moment.
void go_on_from(uint64_t saved_clock_us) {
    if (!headless_config.real_clock) {
        virtual_us = saved_clock_us;
        headless_audio_rebase(virtual_us);
    }
    frames_ended = 0;
}

void advance(uint64_t us) {
    if (!headless_config.real_clock) {
        virtual_us += us;
        headless_audio_clock(virtual_us);
    }
    check_run_end();
}

} // namespace

void headless_reset(const HeadlessConfig& config) {
    headless_config = config;
    host_screens_reset();
    virtual_us = 0;
    real_origin = std::chrono::steady_clock::now();
    frames_ended = 0;
    finishing = false;
    exit_status = 0;
    in_game = false;
    outside_before_ms = outside_since_ms = 0;
    last_record.clear();
    load_tried = false;
    headless_audio_reset(config);
}

const char* headless_save_state(std::vector<uint8_t>& out) {
    out.resize(state_record_bytes());
    headless_audio_hold(true);
    uint32_t bytes = state_save(out.data(), uint32_t(out.size()), clock_us());
    headless_audio_hold(false);
    out.resize(bytes);
    return bytes ? nullptr : STATE_NO_GAME;
}

const char* headless_load_state(const std::vector<uint8_t>& record) {
    uint64_t saved_clock = 0;
    headless_audio_hold(true);
    const char* why = state_load(record.data(), record.size(), &saved_clock);
    headless_audio_hold(false);
    if (!why) go_on_from(saved_clock);
    return why;
}

const uint16_t* headless_shown_buffer() { return host_shown_screen(); }
uint32_t headless_frames() { return frames_ended; }
uint32_t headless_clock_ms() { return clock_ms(); }

// --- Start-up and shut-down ---

void platform_init(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    // As on the handheld: both buffers cleared, the ring restarted, and the drawing pointer on
    // the second buffer once the ring has shown the first.
    host_screens_reset();
    display_flip(0);
    if (!initialised) {
        initialised = true;
        real_origin = std::chrono::steady_clock::now();
        std::atexit(platform_shutdown);
    }
    headless_audio_start();
}

void platform_shutdown() {
    headless_audio_stop();
    if (!headless_config.wav_path.empty() && !write_wav_stereo16(headless_config.wav_path, headless_audio()))
        std::fprintf(stderr, "velkoro-headless: cannot write %s\n", headless_config.wav_path.c_str());
    if (!headless_config.screenshot_path.empty()) {
        if (!write_png_rgb565(headless_config.screenshot_path, headless_shown_buffer(), DISPLAY_WIDTH,
                              DISPLAY_HEIGHT, DISPLAY_WIDTH))
            std::fprintf(stderr, "velkoro-headless: cannot write %s\n",
                         headless_config.screenshot_path.c_str());
    }
    bool state_written = false;
    if (!headless_config.save_state_path.empty()) {
        const char* why = last_record.empty() ? "no game reached a frame end"
                                              : write_file_atomically(headless_config.save_state_path,
                                                                      last_record.data(), last_record.size());
        if (why)
            std::fprintf(stderr, "velkoro-headless: no state written to %s: %s\n",
                         headless_config.save_state_path.c_str(), why);
        state_written = !why;
    }
    if (headless_config.report) {
        std::printf("velkoro-headless: %u ms of clock time, %u frames", clock_ms(), frames_ended);
        if (!headless_config.screenshot_path.empty())
            std::printf("; screen in %s", headless_config.screenshot_path.c_str());
        if (!headless_config.wav_path.empty()) std::printf("; sound in %s", headless_config.wav_path.c_str());
        if (state_written) std::printf("; state in %s", headless_config.save_state_path.c_str());
        std::printf("\n");
    }
    std::fflush(stdout);
}

int32_t platform_auto_frame_skip() { return 0; }

void platform_frame_end() {
    ++frames_ended;
    if (!headless_config.save_state_path.empty()) headless_save_state(last_record);
    if (headless_config.on_frame_end) headless_config.on_frame_end();
    check_run_end();
}

void platform_game_ready() {
    if (headless_config.load_state.empty() || load_tried) return;
    load_tried = true;
    uint64_t saved_clock = 0;
    headless_audio_hold(true);
    const char* why = state_load_before_run(headless_config.load_state.data(), headless_config.load_state.size(),
                                            &saved_clock);
    headless_audio_hold(false);
    if (!why) {
        go_on_from(saved_clock);
        return;
    }
    // The game goes on from its start; the run says so, and its exit status too.
    std::fprintf(stderr, "velkoro-headless: state %s not loaded: %s\n", headless_config.load_state_name.c_str(), why);
    exit_status = 1;
}

// --- Display ---

// The buffers hold the whole screen whatever runs; a check may want to know when games start.
void display_show_game(int32_t playing) {
    uint32_t now = clock_ms();
    if (playing && !in_game) outside_before_ms += outside_span(outside_since_ms, now);
    if (!playing && in_game) outside_since_ms = now;
    in_game = playing != 0;
    if (headless_config.on_show_game) headless_config.on_show_game(playing);
}

// --- Timer and buttons ---

uint32_t timer_ticks() {
    advance(headless_config.unpaced ? UNPACED_STEP_US : VIRTUAL_POLL_US);
    return clock_ms();
}

void timer_delay(uint32_t n) {
    if (headless_config.real_clock) {
        std::this_thread::sleep_for(std::chrono::milliseconds(n));
        check_run_end();
        return;
    }
    // The virtual clock jumps, but a run that ends inside the wait ends at its own time.
    uint64_t target = virtual_us + uint64_t(n) * 1000;
    if (headless_config.run_ms != 0 && target > uint64_t(headless_config.run_ms) * 1000)
        target = std::max<uint64_t>(virtual_us, uint64_t(headless_config.run_ms) * 1000);
    virtual_us = target;
    headless_audio_clock(virtual_us);
    check_run_end();
}

uint32_t read_buttons() {
    advance(VIRTUAL_POLL_US);
    uint32_t now = clock_ms();
    uint16_t held = 0;
    for (const ScriptedPress& p : headless_config.presses)
        if (now >= p.start_ms && now < p.end_ms) held |= p.mask;
    return buttons_from_held(held);
}

// The PC's additions, from the same script at the same clock time (they do not move the clock:
// the frame driver reads them right after read_pad).
uint16_t read_second_pad() {
    uint32_t now = clock_ms();
    uint16_t held = 0;
    for (const ScriptedPress& p : headless_config.presses)
        if (now >= p.start_ms && now < p.end_ms) held |= p.second_mask;
    return uint16_t(buttons_from_held(held));
}

uint8_t read_keypad(int32_t controller) {
    uint32_t now = clock_ms();
    for (const ScriptedPress& p : headless_config.presses) {
        uint8_t key = controller == 0 ? p.keypad : p.second_keypad;
        if (key != KEYPAD_NONE && now >= p.start_ms && now < p.end_ms) return key;
    }
    return KEYPAD_NONE;
}

int32_t read_spinner(int32_t controller) {
    uint32_t now = clock_ms();
    uint8_t right = controller == 0 ? SPIN_FIRST_RIGHT : SPIN_SECOND_RIGHT;
    uint8_t held = 0;
    for (const ScriptedPress& p : headless_config.presses)
        if (now >= p.start_ms && now < p.end_ms) held |= p.spin;
    return ((held & right) ? SPINNER_KEY_STEPS : 0) - ((held & (right << 1)) ? SPINNER_KEY_STEPS : 0);
}

// --- The card ---

bool platform_take_cartridge(char* cartridge, char* bios, size_t size) {
    std::string& path = headless_config.opened_cartridge;
    if (path.empty() || path.size() >= size || headless_config.opened_bios.size() >= size) return false;
    std::snprintf(cartridge, size, "%s", path.c_str());
    std::snprintf(bios, size, "%s", headless_config.opened_bios.c_str());
    path.clear();
    return true;
}

bool platform_map_path(const char* path, char* out, size_t out_size) {
    return card_map_path(headless_config.card_folder, path, out, out_size);
}
