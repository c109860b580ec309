// The platform interface: everything the program needs from the machine it runs on (display,
// clock, buttons, audio device, the SD card's files and the return to the handheld's menu).
// One back end is linked per build (platform/headless, platform/sdl for the PC window, and the
// handheld's hardware adapter); the program calls these functions directly, never through
// function pointers. The back end owns the display buffers, the audio thread and the clock.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <dirent.h>

// --- Start-up and shut-down ---

// Reads the back end's own command-line options, before anything else runs. The handheld's
// adapter takes none; the headless runner and the PC window take theirs. May end the process
// with a message when the options are wrong.
void platform_configure(int argc, char** argv);

// Opens the display, the clock, the buttons and the audio device and starts the paused audio
// thread; registers platform_shutdown to run at process exit. A second call reprograms the
// display and audio format only.
void platform_init(int32_t ticks_per_second, int32_t bits_per_pixel, int32_t sample_rate, int32_t sample_bits,
                   int32_t stereo, int32_t frames_per_second, int32_t text_solid);

// Runs at process exit (registered by platform_init): puts the devices back, stops the audio
// thread and hands the machine to the handheld's menu (on a PC: the process simply ends).
void platform_shutdown();

// Called by the frame driver once at the end of every emulated frame. A hosted back end uses
// it to keep its window alive or to end a run of a given length, and may save or load the
// machine's state there (machine/state.h); the handheld does nothing.
void platform_frame_end();

// Called by the loader once a game's machine is built and reset, just before it first runs. A
// hosted back end may load a saved state into it here; the handheld does nothing.
void platform_game_ready();

// Whether the frame driver chooses the frames to draw itself: every frame while the emulation
// keeps up with the 60 Hz clock, and after a drawn frame that ended late the next one or two not
// drawn, whatever the fixed frame skip says. The handheld answers 1 (its processor may not keep
// up with every frame of a busy game); hosted back ends 0, and keep the fixed frame skip.
int32_t platform_auto_frame_skip();

// --- Display: 320 x 240 RGB565 ---

constexpr int DISPLAY_WIDTH = 320;
constexpr int DISPLAY_HEIGHT = 240;

// The play cycle calls this with 1 just before a game runs and with 0 when it has ended. A PC
// window then shows the console's picture area (the top-left 272 x 208 pixels the presentation
// writes) scaled up, and the whole screen otherwise; the handheld shows the whole screen always.
void display_show_game(int32_t playing);

// The buffer the program should draw into (the drawing pointer). After start-up and the single
// flip the program makes, everything drawn there is visible at once.
uint16_t* display_drawing_pointer();

// Shows the buffer the drawing pointer names and moves the pointer to the next ring entry.
void display_flip(int32_t layer);

// --- Audio ---

// The program's sample source, called only from the audio thread: renders `count` mono 16-bit
// samples and writes them, each to both sides of a stereo frame, as count x 4 bytes at
// `destination`.
void audio_fill(void* arg, uint8_t* destination, uint32_t count);

// 1 pauses the audio thread (it calls no fill), 0 lets it run.
void audio_set_paused(int32_t flag);

// Waits until the audio thread has seen the pause flag, so that no fill is under way when this
// returns (used before the sound mixer is reset between games).
void audio_wait_paused();

// Output level, percent per side.
void audio_set_volume(int32_t left, int32_t right);

// --- Timer and buttons ---

// Milliseconds since an arbitrary origin; wraps at 2^32.
uint32_t timer_ticks();

// Returns after n milliseconds.
void timer_delay(uint32_t n);

// The 32-bit button word, 1 = pressed (the stick in bits 0..7 with a lone diagonal split into its
// two straight directions, the buttons in bits 8..15).
uint32_t read_buttons();

// The low 16 bits of read_buttons.
uint16_t read_pad();

// What a PC adds to the handheld's controls, read by the controller mapping once per frame.
// The keypad key held for controller 0 or 1 (index 0..9 for the digits, 10 for '*', 11 for '#'),
// or KEYPAD_NONE; the handheld answers KEYPAD_NONE.
constexpr uint8_t KEYPAD_NONE = 0x0F;
uint8_t read_keypad(int32_t controller);

// The second player's button word (the layout of read_pad); 0 where there is no second player,
// as on the handheld.
uint16_t read_second_pad();

// The steps controller 0 or 1's spinner turned since the last call (the controller mapping
// calls it once per frame): positive to the right, negative to the left; 0 on the handheld,
// which has no spinner. A held key (or a script's spinner name) turns this many a frame.
int32_t read_spinner(int32_t controller);
constexpr int32_t SPINNER_KEY_STEPS = 4;

// Button word masks.
constexpr uint16_t BTN_UP = 0x0001;
constexpr uint16_t BTN_UP_LEFT = 0x0002;
constexpr uint16_t BTN_LEFT = 0x0004;
constexpr uint16_t BTN_DOWN_LEFT = 0x0008;
constexpr uint16_t BTN_DOWN = 0x0010;
constexpr uint16_t BTN_DOWN_RIGHT = 0x0020;
constexpr uint16_t BTN_RIGHT = 0x0040;
constexpr uint16_t BTN_UP_RIGHT = 0x0080;
constexpr uint16_t BTN_START = 0x0100;
constexpr uint16_t BTN_SELECT = 0x0200;
constexpr uint16_t BTN_L = 0x0400;
constexpr uint16_t BTN_R = 0x0800;
constexpr uint16_t BTN_A = 0x1000;
constexpr uint16_t BTN_B = 0x2000;
constexpr uint16_t BTN_X = 0x4000;
constexpr uint16_t BTN_Y = 0x8000;

// Builds the button word from the handheld's three input ports (a pressed control reads 0),
// splitting a lone diagonal into its two straight directions. Shared by every back end, which
// feed it the port values they read or simulate.
uint32_t buttons_from_ports(uint16_t stick_port, uint16_t button_port, uint16_t extra_port);

// The button word of a host back end that knows which controls are held (1 = held, read_pad's
// layout): the port patterns the handheld would show for them, through buttons_from_ports.
uint32_t buttons_from_held(uint16_t held);

// --- The SD card ---

// Maps a path of the program ("/mnt/sd/...") to the host file system. Returns false (and leaves
// `out` empty) when the result does not fit in `out_size` bytes.
bool platform_map_path(const char* path, char* out, size_t out_size);

// A cartridge the player opened outside the cartridge manager since the last call (a PC's
// command line, or a file dropped on its window): its path into `cartridge` and the BIOS to run
// it with into `bios`, each of `size` bytes. False when there is none, as always on the
// handheld, which has no other way in.
bool platform_take_cartridge(char* cartridge, char* bios, size_t size);

// fopen and opendir through the card mapping; nullptr on failure, as the C library.
FILE* platform_fopen(const char* path, const char* mode);
DIR* platform_opendir(const char* path);
