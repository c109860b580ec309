// The PC back end: a window (SDL2) that shows the 320 x 240 RGB565 buffer the program draws
// into, the keyboard and game controllers as the handheld's buttons plus the console's keypads
// and a second player, SDL audio at 44100 Hz, and the host's steady clock. platform_configure
// (options.cpp) reads the command line and the settings file (settings.cpp) and finds the BIOS
// for a cartridge opened directly; sdl.cpp owns the window, the audio device, the pause and the
// event loop, which runs inside the clock and button reads; input.cpp maps keys and controller
// buttons through the settings' key table. Everything lives until the process ends.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>

#include "platform/sdl/settings.h"

// What this run uses besides the settings.
struct SdlConfig {
    std::string card_folder;      // stands for "/mnt/sd/": the settings' folder or the bundled card
    std::string opened_cartridge; // a cartridge opened outside the manager, not yet taken
    std::string opened_bios;      // the BIOS found for it
};

extern SdlConfig sdl_config;

// The BIOS for a cartridge opened directly: the one named with --bios; else coleco.rom (any
// letter case) in the cartridge's folder; else in the card's roms/colecovision/; else Velkoro's
// own boot ROM, beside the program (its card/ folder) or in its installed data folder. When none
// is there, the card's path, so that the failed load names where it looked.
std::string sdl_find_bios(const std::string& cartridge);

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

// Makes the key table's lookups from sdl_settings (the keys are found by their labels in the
// keyboard's layout, so call it again once a display is open); a key bound twice stays with the
// first control and is reported on stderr.
void sdl_bind_keys();

// The index in CONTROLS of what a key (SDL scancode) is bound to, or -1.
int key_control(int scancode);

// The button word (read_pad's layout, straight directions only) of the keyboard for player 0
// or 1, from a keyboard state (indexed by SDL scancode).
uint16_t keyboard_buttons(const uint8_t* keys, int player);

// The keypad key the keyboard holds for controller 0 or 1, or KEYPAD_NONE.
uint8_t keyboard_keypad(const uint8_t* keys, int controller);
// Where the keyboard has the key of that label now (the places of a US keyboard before a display
// is open); SDL_SCANCODE_UNKNOWN if nowhere.
SDL_Scancode sdl_key_place(SDL_Keycode k);

// The button word of a game controller of player 0 or 1.
uint16_t gamepad_buttons(const GamepadState& pad, int player);

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

// Whether a game is paused now (Escape in a game; the pause lasts inside platform_frame_end).
bool sdl_paused();

// The window title now.
std::string sdl_window_title();

// The largest scale whose window fits the desktop's usable area (at least 1).
int sdl_desktop_scale();

// The rectangle the picture fills in a drawable of out_w x out_h pixels: the largest whole
// multiple of its size that fits (`whole`), or as large as its shape allows; centred.
struct SdlRect {
    int x, y, w, h;
};
SdlRect sdl_picture_rect(int out_w, int out_h, bool game, bool whole);
