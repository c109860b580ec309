// The PC back end: a window (SDL2) that shows the 320 x 240 RGB565 buffer the program draws
// into, the keyboard and game controllers as the handheld's buttons plus the console's keypads
// and a second player, SDL audio at 44100 Hz, and the host's steady clock. platform_configure
// (options.cpp) reads the launcher's options; sdl.cpp owns the window, the audio device and the
// event loop, which runs inside the clock and button reads; input.cpp maps keys and controller
// buttons. Everything lives until the process ends.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>

struct SdlConfig {
    std::string card_folder; // stands for "/mnt/sd/"
    int scale = 3;           // the window's first size: 320 x 240 times this
    bool fullscreen = false; // start on the whole desktop
};

extern SdlConfig sdl_config;

constexpr int SDL_DEFAULT_SCALE = 3;
constexpr int SDL_MAX_SCALE = 16;

// The audio device: 44100 frames per second, 16-bit stereo, asked for in chunks of this many
// frames (about 11.6 ms), so that sound lags the picture by a few tens of milliseconds at most.
constexpr int SDL_AUDIO_RATE = 44100;
constexpr int SDL_AUDIO_CHUNK_FRAMES = 512;

// How long a wait on the clock or the buttons sleeps between two looks, in microseconds, once
// it is plainly spinning (two looks within this time of each other).
constexpr int SDL_IDLE_SLEEP_US = 1000;

// --- The mapping (input.cpp) ---

// Which SDL game controller buttons are held (indexed by SDL_GameControllerButton) and where its
// left stick points (SDL's axis values, -32768..32767).
struct GamepadState {
    bool buttons[SDL_CONTROLLER_BUTTON_MAX];
    int16_t stick_x;
    int16_t stick_y;
};

// The button word (read_pad's layout, straight directions only) of the keyboard for player 0
// or 1, from SDL's keyboard state (indexed by SDL scancode).
uint16_t keyboard_buttons(const uint8_t* keys, int player);

// The keypad key the keyboard holds for controller 0 or 1, or KEYPAD_NONE. The number row is the
// first controller's keypad; the numeric keypad is the first controller's and, when
// `numeric_keypad_second` is set (no second game controller), also the second controller's.
uint8_t keyboard_keypad(const uint8_t* keys, int controller, bool numeric_keypad_second);

// The button word of one game controller.
uint16_t gamepad_buttons(const GamepadState& pad);

// --- The spinners (spinner.cpp) ---

// Takes every event of the window: F10 takes the mouse or gives it back, and the mouse's motion
// turns the first player's spinner while it is held.
void sdl_spinner_event(const SDL_Event& e);
bool sdl_spinner_has_mouse();
// The steps a frame the keyboard's spinner keys turn controller 0 or 1's spinner.
int32_t spinner_key_steps(const uint8_t* keys, int controller);

// The launcher's help: usage, options, and the whole mapping.
extern const char* const SDL_HELP_TEXT;

// --- The window (sdl.cpp) ---

// Opens SDL's video, events and game controllers; false (and SDL's reason in `error`) when no
// display can be had.
bool sdl_open_video(std::string& error);

// Whether the window covers the whole screen now.
bool sdl_window_fullscreen();

// The game controllers open now, in the order they came (the first is player 1).
int sdl_gamepad_count();

// Handles the window's waiting events and refreshes the window when it is due; the clock and
// button reads call it. Exposed so that tests can drive the event loop.
void sdl_service();

// The window's drawable size in pixels, and the rectangle the picture fills in it.
struct SdlRect {
    int x, y, w, h;
};
SdlRect sdl_picture_rect(int out_w, int out_h, bool game);
