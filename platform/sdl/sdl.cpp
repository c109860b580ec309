// The PC back end's window, clock, buttons and audio device.
//
// The program draws straight into the shown buffer and never flips after start-up, and it waits
// by reading the clock or the buttons in a loop. So the window is served from those reads: each
// look handles the window's events (at most once a millisecond) and refreshes the window from
// the shown buffer when that is due, and a look that comes within a millisecond of the previous
// one sleeps that millisecond first, so that a wait does not keep a core busy. In the front end
// the window is refreshed about 60 times a second; while a game runs it is refreshed at every
// frame end, right after the frame was presented. A screen that has not changed since the last
// refresh is not sent again.
//
// Keys reach the program in two ways: held keys through the keyboard's state, and presses as
// events, which are kept until the next read of the buttons, so that a key pressed and let go
// between two reads (within one frame) still counts as held for that read.
#include "frontend/font.h"
#include "frontend/panel.h"
#include "frontend/surface.h"
#include "machine/loader.h"
#include "machine/play.h"
#include "platform/common/card.h"
#include "platform/common/screens.h"
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "video/vdp.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

bool video_open = false;
bool initialised = false;
bool shut_down = false;
SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
bool game_view = false;
bool refresh_due = true;

std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
uint64_t last_look_us = 0;
uint64_t last_events_us = 0;
uint64_t last_refresh_us = 0;

// The front end's refresh period: 60 times a second.
constexpr uint64_t FRONT_END_REFRESH_US = 16667;
// Events are handled at most this often (the clock and buttons may be read far more often).
constexpr uint64_t EVENTS_PERIOD_US = 1000;
// Longest sleep of one slice of timer_delay: the window stays served while it waits.
constexpr uint64_t DELAY_SLICE_US = 4000;

// Game controllers in the order they came: the first is player 1, the second player 2.
constexpr int MAX_PADS = 8;
SDL_GameController* pads[MAX_PADS];
int pad_count = 0;

// Presses since the last read of the buttons (keys by scancode, the first two controllers' buttons);
// keys that went down with Alt held, which stay out of the game until let go (Alt+Enter is the
// window's, not START); and what the last read saw, which the reads of the second player and the
// keypads that follow it in the same frame share.
uint8_t latched_keys[SDL_NUM_SCANCODES];
bool latched_pad_buttons[2][SDL_CONTROLLER_BUTTON_MAX];
uint8_t swallowed_keys[SDL_NUM_SCANCODES];
uint8_t read_keys[SDL_NUM_SCANCODES];
GamepadState read_pads[2];

// A reset asked for by its key, done at the next frame end.
bool reset_requested = false;

// The game's clock runs ahead of the real one while fast-forward is held: what it has gained,
// and the real time it was last read at.
uint64_t fast_gain_us = 0;
uint64_t fast_last_us = 0;

// The pause: asked for by the pause key in a game, or by the window losing the focus, held at
// the next frame end. Leaving the game
// from it (or dropping a cartridge on the window during a game) presses SELECT for one read.
bool pause_requested = false;
std::atomic<bool> paused{false};
bool select_pulse = false;
std::string title = "Velkoro";

// Audio. The pause flag and the stop word order the threads: the main thread's mixer writes
// before a resume reach the next fill. Levels are per side in 1/256.
SDL_AudioDeviceID audio_device = 0;
std::atomic<int32_t> audio_paused{1};
std::atomic<int32_t> user_paused{0};
std::atomic<int32_t> rewind_silent{0}; // a game played backwards makes no sound
std::atomic<uint32_t> audio_stop{0};
std::atomic<int32_t> gain_left{256};
std::atomic<int32_t> gain_right{256};

uint64_t now_us() {
    return uint64_t(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - origin)
            .count());
}

// What the window shows now, so that a refresh of an unchanged screen costs only a comparison;
// and whether a message is over it, so that the next refresh takes it away.
uint16_t window_copy[DISPLAY_WIDTH * DISPLAY_HEIGHT];
bool message_shown = false;

void refresh(uint64_t t) {
    last_refresh_us = t;
    const uint16_t* shown = host_shown_screen();
    if (!refresh_due && !message_shown && std::memcmp(window_copy, shown, sizeof window_copy) == 0) return;
    refresh_due = false;
    std::memcpy(window_copy, shown, sizeof window_copy);
    // A message goes over the window's copy only: the program's screen stays as it drew it.
    if (const char* text = sdl_message(t)) {
        Surface over{window_copy, 0, 16, DISPLAY_WIDTH, uint16_t(game_view ? VDP_PICTURE_WIDTH : DISPLAY_WIDTH),
                     DISPLAY_HEIGHT};
        draw_status_strip(&over, current_font, text);
        message_shown = true;
    } else if (message_shown) {
        message_shown = false;
    }
    if (!renderer) return;
    SDL_UpdateTexture(texture, nullptr, window_copy, DISPLAY_WIDTH * 2);
    int w = 0, h = 0;
    SDL_GetRendererOutputSize(renderer, &w, &h);
    SdlRect r = sdl_picture_rect(w, h, game_view, sdl_settings.whole_scaling);
    SDL_Rect src{0, 0, game_view ? VDP_PICTURE_WIDTH : DISPLAY_WIDTH,
                 game_view ? VDP_PICTURE_HEIGHT : DISPLAY_HEIGHT};
    SDL_Rect dst{r.x, r.y, r.w, r.h};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, &src, &dst);
    SDL_RenderPresent(renderer);
}

void toggle_fullscreen() {
    SDL_SetWindowFullscreen(window, sdl_window_fullscreen() ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    refresh_due = true;
    sdl_settings.fullscreen = sdl_window_fullscreen();
    save_settings();
}

void forget_presses() {
    std::memset(latched_keys, 0, sizeof latched_keys);
    std::memset(latched_pad_buttons, 0, sizeof latched_pad_buttons);
}

void open_pad(int device_index) {
    if (pad_count >= MAX_PADS || !SDL_IsGameController(device_index)) return;
    SDL_GameController* c = SDL_GameControllerOpen(device_index);
    if (!c) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
    for (int i = 0; i < pad_count; ++i)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pads[i])) == id) {
            SDL_GameControllerClose(c); // already open: SDL counts the opens
            return;
        }
    pads[pad_count++] = c;
    forget_presses();
}

void close_pad(SDL_JoystickID id) {
    for (int i = 0; i < pad_count; ++i) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pads[i])) != id) continue;
        SDL_GameControllerClose(pads[i]);
        for (int j = i + 1; j < pad_count; ++j) pads[j - 1] = pads[j];
        --pad_count;
        forget_presses();
        return;
    }
}

int pad_slot(SDL_JoystickID id) {
    for (int i = 0; i < pad_count && i < 2; ++i)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pads[i])) == id) return i;
    return -1;
}

void open_dropped(const char* path) {
    sdl_config.opened_cartridge = path;
    sdl_config.opened_bios = sdl_find_bios(path);
    // A game running now ends, and the manager then starts the dropped one.
    if (game_view) select_pulse = true;
}

// The running cartridge starts again from power-on, with its BIOS, as a cartridge opened from
// outside: the loader makes the machine afresh.
void reset_game() {
    char cartridge[PATH_MAX], bios[PATH_MAX];
    if (!platform_map_path(cartridge_path, cartridge, sizeof cartridge) ||
        !platform_map_path(bios_path, bios, sizeof bios))
        return;
    sdl_config.opened_cartridge = cartridge;
    sdl_config.opened_bios = bios;
    select_pulse = true;
}

// What an event was, for the pause.
enum class Press { none, pause, leave, other };

// Handles one event; a press of a player's control is kept for the next read when `latch`.
Press handle_event(const SDL_Event& e, bool latch) {
    switch (e.type) {
    case SDL_QUIT: std::exit(0);
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) std::exit(0);
        // A game does not play on unwatched.
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && game_view && latch) pause_requested = true;
        refresh_due = true;
        return Press::none;
    case SDL_KEYUP: swallowed_keys[e.key.keysym.scancode] = 0; return Press::none;
    case SDL_KEYDOWN: {
        const SDL_Scancode sc = e.key.keysym.scancode;
        if (e.key.repeat) return Press::none;
        // Alt with any key is the window's: Alt+Enter switches fullscreen and presses nothing.
        if (e.key.keysym.mod & KMOD_ALT) {
            swallowed_keys[sc] = 1;
            if (sc == SDL_SCANCODE_RETURN || sc == SDL_SCANCODE_KP_ENTER) toggle_fullscreen();
            return Press::none;
        }
        const int c = key_control(sc);
        if (c >= 0 && CONTROLS[c].action == ACTION_FULLSCREEN) {
            toggle_fullscreen();
            return Press::none;
        }
        if (c >= 0 && CONTROLS[c].action == ACTION_PAUSE) return Press::pause;
        if (c >= 0 && CONTROLS[c].action == ACTION_RESET && game_view) {
            reset_requested = true;
            return Press::none;
        }
        if (c >= 0 && CONTROLS[c].owner == CONTROL_WINDOW && sdl_action(CONTROLS[c].action, game_view, now_us()))
            return Press::none;
        // In the pause a key only answers it: held on, it does not reach the game either.
        if (latch)
            latched_keys[sc] = 1;
        else
            swallowed_keys[sc] = 1;
        if (c >= 0 && CONTROLS[c].owner == CONTROL_PLAYER1 && CONTROLS[c].mask == BTN_SELECT) return Press::leave;
        return Press::other;
    }
    case SDL_CONTROLLERBUTTONDOWN: {
        const int slot = pad_slot(e.cbutton.which);
        if (slot >= 0 && latch && e.cbutton.button < SDL_CONTROLLER_BUTTON_MAX)
            latched_pad_buttons[slot][e.cbutton.button] = true;
        if (slot == 0 && e.cbutton.button < SDL_CONTROLLER_BUTTON_MAX) {
            GamepadState one{};
            one.buttons[e.cbutton.button] = true;
            if (gamepad_buttons(one, 0) & BTN_SELECT) return Press::leave;
        }
        return Press::other;
    }
    case SDL_CONTROLLERDEVICEADDED: open_pad(e.cdevice.which); return Press::none;
    case SDL_CONTROLLERDEVICEREMOVED: close_pad(e.cdevice.which); return Press::none;
    case SDL_DROPFILE:
        if (e.drop.file) {
            open_dropped(e.drop.file);
            SDL_free(e.drop.file);
        }
        return Press::leave;
    default: return Press::none;
    }
}

void handle_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        sdl_spinner_event(e);
        if (handle_event(e, true) == Press::pause && game_view) pause_requested = true;
    }
}

// The plain pause of a game: the sound stops and a line over the picture says how to go on.
// Pressing the pause key again, or SELECT's key, leaves the game; any other key or button plays
// on (that press goes no further). Runs at a frame end, so the game stands between two frames.
void run_pause() {
    pause_requested = false;
    paused = true;
    user_paused.store(1);
    const bool drawn = screen_surface.pixels && screen_surface.width == DISPLAY_WIDTH;
    static uint16_t strip[DISPLAY_WIDTH * STATUS_STRIP_HEIGHT];
    if (drawn) {
        std::memcpy(strip, screen_surface.pixels, sizeof strip);
        draw_status_strip(&screen_surface, current_font, "Paused: Escape ends the game, a key plays on");
    }
    SDL_SetWindowTitle(window, (title + " (paused)").c_str());
    refresh_due = true;
    Press p = Press::none;
    while (p == Press::none) {
        refresh(now_us());
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, 50)) p = handle_event(e, false);
    }
    if (p == Press::pause || p == Press::leave) select_pulse = true;
    if (drawn) std::memcpy(screen_surface.pixels, strip, sizeof strip);
    SDL_SetWindowTitle(window, title.c_str());
    refresh_due = true;
    user_paused.store(0);
    paused = false;
}

const uint8_t* keyboard() {
    static const uint8_t none[SDL_NUM_SCANCODES] = {};
    return video_open ? SDL_GetKeyboardState(nullptr) : none;
}

// Serves the window at time t; `frame_end` marks the end of an emulated frame.
void serve(uint64_t t, bool frame_end) {
    if (!video_open) return;
    if (frame_end || t - last_events_us >= EVENTS_PERIOD_US) {
        last_events_us = t;
        handle_events();
    }
    if (frame_end && game_view) {
        sdl_actions_frame_end(keyboard(), t);
        rewind_silent.store(sdl_rewinding() ? 1 : 0, std::memory_order_relaxed);
        if (reset_requested) reset_game();
        reset_requested = false;
    }
    if (frame_end && pause_requested) run_pause();
    bool due = game_view ? frame_end : (refresh_due || t - last_refresh_us >= FRONT_END_REFRESH_US);
    if (due) refresh(t);
}

// One look at the clock or the buttons.
void look() {
    uint64_t t = now_us();
    if (t - last_look_us < uint64_t(SDL_IDLE_SLEEP_US)) {
        std::this_thread::sleep_for(std::chrono::microseconds(SDL_IDLE_SLEEP_US));
        t = now_us();
    }
    last_look_us = t;
    serve(t, false);
}

GamepadState pad_state(SDL_GameController* c) {
    GamepadState s{};
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        s.buttons[b] = SDL_GameControllerGetButton(c, SDL_GameControllerButton(b)) != 0;
    s.stick_x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX);
    s.stick_y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY);
    return s;
}

// One read of the controls: what is held now, and what was pressed since the last read.
void take_reading() {
    const uint8_t* now = keyboard();
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) read_keys[sc] = (now[sc] && !swallowed_keys[sc]) || latched_keys[sc];
    for (int p = 0; p < 2; ++p) {
        read_pads[p] = p < pad_count ? pad_state(pads[p]) : GamepadState{};
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) read_pads[p].buttons[b] |= latched_pad_buttons[p][b];
    }
    forget_presses();
}

uint16_t player_buttons(int player) {
    uint16_t held = keyboard_buttons(read_keys, player);
    if (pad_count > player) held |= gamepad_buttons(read_pads[player], player);
    return held;
}

void SDLCALL audio_callback(void*, Uint8* stream, int len) {
    if (audio_stop.load() != 0 || audio_paused.load() != 0 || user_paused.load() != 0 ||
        rewind_silent.load(std::memory_order_relaxed) != 0) {
        std::memset(stream, 0, size_t(len));
        return;
    }
    audio_fill(nullptr, stream, uint32_t(len) / 4);
    // Each frame is two little-endian 16-bit samples, left then right.
    const int32_t gains[2] = {gain_left.load(std::memory_order_relaxed),
                              gain_right.load(std::memory_order_relaxed)};
    for (int i = 0; i + 1 < len; i += 2) {
        int32_t s = int16_t(uint16_t(stream[i] | (stream[i + 1] << 8)));
        s = s * gains[(i >> 1) & 1] / 256;
        stream[i] = uint8_t(s & 0xFF);
        stream[i + 1] = uint8_t((s >> 8) & 0xFF);
    }
}

void open_audio() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "velkoro: no sound (%s)\n", SDL_GetError());
        return;
    }
    SDL_AudioSpec want{};
    want.freq = SDL_AUDIO_RATE;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = SDL_AUDIO_CHUNK_FRAMES;
    want.callback = audio_callback;
    SDL_AudioSpec have{};
    audio_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_device == 0) {
        std::fprintf(stderr, "velkoro: no sound (%s)\n", SDL_GetError());
        return;
    }
    SDL_PauseAudioDevice(audio_device, 0);
}

void open_window() {
    // Hidden until the renderer is made: SDL may have to remake the window for it.
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN;
    if (sdl_settings.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    const int scale = std::min(sdl_settings.scale, sdl_desktop_scale());
    window = SDL_CreateWindow("Velkoro", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, DISPLAY_WIDTH * scale,
                              DISPLAY_HEIGHT * scale, flags);
    if (window) {
        SDL_SetWindowMinimumSize(window, DISPLAY_WIDTH / 2, DISPLAY_HEIGHT / 2);
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (renderer)
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                    DISPLAY_WIDTH, DISPLAY_HEIGHT);
    if (texture) {
        SDL_SetTextureScaleMode(texture, sdl_settings.smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
        SDL_ShowWindow(window);
    }
    if (!texture) {
        std::fprintf(stderr,
                     "velkoro: cannot open a window (%s); without one, run the headless runner: "
                     "./run.sh --headless\n",
                     SDL_GetError());
        std::exit(2);
    }
}

// Every way out of the program ends in exit(): 0 from the menus and the window, 2 for a window
// that cannot be opened. A lost display ends it too, with status 1 from inside the display
// library, and then nothing may talk to that display again: the library would wait for it for
// ever. Only the sound is stopped then, and the process's end does the rest.
void shut_down_at_exit(int status, void*) {
    if (status == 0) {
        platform_shutdown();
        return;
    }
    audio_stop.store(1);
    std::fflush(stdout);
}

} // namespace

bool sdl_open_video(std::string& error) {
    if (video_open) return true;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // Left to itself SDL would settle for a window nobody sees (its off-screen driver) where
    // there is no display; those drivers are taken only when asked for by name.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    bool named = asked && *asked;
    if (!named) {
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (!(wayland && *wayland)) {
            if (x11 && *x11) {
                SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
            } else if (access("/dev/dri", F_OK) == 0) {
                SDL_SetHint(SDL_HINT_VIDEODRIVER, "KMSDRM");
            } else {
                error = "DISPLAY is not set";
                return false;
            }
        }
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        error = SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!named && driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) {
        SDL_Quit();
        error = "no display server";
        return false;
    }
    // Without game controllers the keyboard still plays.
    SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER);
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    video_open = true;
    // Now that the keyboard's layout is known, the keys are found by their labels.
    sdl_bind_keys();
    return true;
}

int sdl_gamepad_count() { return pad_count; }

bool sdl_window_fullscreen() { return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; }

void sdl_service() { serve(now_us(), false); }

bool sdl_paused() { return paused; }

std::string sdl_window_title() { return title; }

int sdl_desktop_scale() {
    SDL_Rect r{};
    if (!video_open || SDL_GetDisplayUsableBounds(0, &r) != 0 || r.w <= 0 || r.h <= 0) return SDL_MAX_SCALE;
    return std::clamp(std::min(r.w / DISPLAY_WIDTH, r.h / DISPLAY_HEIGHT), 1, SDL_MAX_SCALE);
}

SdlRect sdl_picture_rect(int out_w, int out_h, bool game, bool whole) {
    const int64_t sw = game ? VDP_PICTURE_WIDTH : DISPLAY_WIDTH;
    const int64_t sh = game ? VDP_PICTURE_HEIGHT : DISPLAY_HEIGHT;
    int64_t w = out_w > 0 ? out_w : 1, h = out_h > 0 ? out_h : 1;
    int64_t dw = w, dh = h;
    const int64_t times = std::min(w / sw, h / sh);
    if (whole && times >= 1) {
        // Every console pixel the same whole number of screen pixels wide and high.
        dw = sw * times;
        dh = sh * times;
    } else if (w * sh <= h * sw) {
        // As large as the window allows with the picture's own shape; black bars fill the rest.
        dh = (w * sh + sw / 2) / sw;
    } else {
        dw = (h * sw + sh / 2) / sh;
    }
    return SdlRect{int((w - dw) / 2), int((h - dh) / 2), int(dw), int(dh)};
}

// --- Start-up and shut-down ---

void platform_init(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    host_screens_reset();
    display_flip(0);
    refresh_due = true;
    if (initialised) return;
    initialised = true;
    std::string error;
    if (!sdl_open_video(error)) {
        std::fprintf(stderr,
                     "velkoro: no display to open a window on (%s); without one, run the headless "
                     "runner: ./run.sh --headless\n",
                     error.c_str());
        std::exit(2);
    }
    open_window();
    open_audio();
    on_exit(shut_down_at_exit, nullptr);
    refresh(now_us());
}

void platform_shutdown() {
    if (shut_down) return;
    shut_down = true;
    audio_stop.store(1);
    if (audio_device) SDL_CloseAudioDevice(audio_device);
    audio_device = 0;
    while (pad_count > 0) SDL_GameControllerClose(pads[--pad_count]);
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    SDL_Quit();
    video_open = false;
    std::fflush(stdout);
}

void platform_frame_end() { serve(now_us(), true); }

void platform_game_ready() {}
int32_t platform_auto_frame_skip() { return 0; }

// --- Display ---

void display_show_game(int32_t playing) {
    game_view = playing != 0;
    refresh_due = true;
    select_pulse = false;
    pause_requested = false;
    reset_requested = false;
    sdl_actions_new_game();
    rewind_silent.store(0, std::memory_order_relaxed);
    title = "Velkoro";
    if (game_view) {
        const char* slash = std::strrchr(cartridge_path, '/');
        title += " - ";
        title += slash ? slash + 1 : cartridge_path;
        // The cartridge to offer again at the next start: where it is on this machine.
        char host[PATH_MAX];
        char full[PATH_MAX];
        if (platform_map_path(cartridge_path, host, sizeof host)) {
            const char* kept = realpath(host, full) ? full : host;
            if (sdl_settings.last_cartridge != kept) {
                sdl_settings.last_cartridge = kept;
                save_settings();
            }
        }
    }
    if (window) SDL_SetWindowTitle(window, title.c_str());
}

// --- Audio ---

void audio_set_paused(int32_t flag) { audio_paused.store(flag); }

void sdl_audio_lock(bool held) {
    if (audio_device == 0) return;
    if (held)
        SDL_LockAudioDevice(audio_device);
    else
        SDL_UnlockAudioDevice(audio_device);
}

void audio_wait_paused() {
    // The device's lock is held around every fill: once it has been taken and given back after
    // the flag went up, no fill is under way and none starts until the flag is cleared.
    if (audio_device == 0 || audio_paused.load() == 0) return;
    SDL_LockAudioDevice(audio_device);
    SDL_UnlockAudioDevice(audio_device);
}

void audio_set_volume(int32_t left, int32_t right) {
    // As the handheld sets its mixer: 80 % of each percentage; then the player's own volume.
    const int32_t own = std::clamp(sdl_settings.volume, 0, 100);
    auto gain = [own](int32_t p) { return (p < 0 ? 0 : p > 100 ? 100 : p) * 80 / 100 * 256 / 100 * own / 100; };
    gain_left.store(gain(left), std::memory_order_relaxed);
    gain_right.store(gain(right), std::memory_order_relaxed);
}

// --- Timer and buttons ---

uint32_t timer_ticks() {
    look();
    const uint64_t t = now_us();
    if (sdl_fast_forward() && game_view) fast_gain_us += (t - fast_last_us) * (SDL_FAST_FORWARD_TIMES - 1);
    fast_last_us = t;
    return uint32_t((t + fast_gain_us) / 1000);
}

void timer_delay(uint32_t n) {
    const uint64_t end = now_us() + uint64_t(n) * 1000;
    for (uint64_t t = now_us(); t < end; t = now_us()) {
        serve(t, false);
        std::this_thread::sleep_for(std::chrono::microseconds(std::min(end - t, DELAY_SLICE_US)));
    }
    serve(now_us(), false);
}

uint32_t read_buttons() {
    look();
    take_reading();
    uint16_t held = player_buttons(0);
    if (select_pulse && game_view) held |= BTN_SELECT;
    select_pulse = false;
    return buttons_from_held(held);
}

// The PC's additions come from the reading of the read_pad before them (the frame driver reads
// them right after it), so that a short press counts for all of them alike.
uint16_t read_second_pad() { return uint16_t(buttons_from_held(player_buttons(1))); }

uint8_t read_keypad(int32_t controller) { return keyboard_keypad(read_keys, controller); }

// --- The card ---

bool platform_take_cartridge(char* cartridge, char* bios, size_t size) {
    std::string& path = sdl_config.opened_cartridge;
    if (path.empty()) return false;
    const bool fits = path.size() < size && sdl_config.opened_bios.size() < size;
    if (fits) {
        std::snprintf(cartridge, size, "%s", path.c_str());
        std::snprintf(bios, size, "%s", sdl_config.opened_bios.c_str());
    } else {
        std::fprintf(stderr, "velkoro: the path of %s is too long to open\n", path.c_str());
    }
    path.clear();
    return fits;
}

bool platform_map_path(const char* path, char* out, size_t out_size) {
    return card_map_path(sdl_config.card_folder, path, out, out_size);
}
