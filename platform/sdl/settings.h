// The PC program's settings: what survives from one run to the next (the window's scale and
// scaling, fullscreen, the volume, the card folder, the last cartridge) and the controls of both
// players, on the keyboard and on game controllers. One program-wide record, read from an INI
// file at start (platform_configure) and written back whole, through a temporary file and a
// rename, whenever a setting changes. The key table here is the one list of everything a key can
// do; the event loop (sdl.cpp), the mapping (input.cpp) and the spinners (spinner.cpp) look keys
// up through it.
#pragma once
#include <SDL.h>
#include <cstdint>
#include <string>
#include <vector>

constexpr int SDL_DEFAULT_SCALE = 3;
constexpr int SDL_MAX_SCALE = 16;

// What a key can be bound to: a control of one of the two players (a button of the handheld's
// button word, or a key of the console's keypad), or an action of the PC program itself.
enum ControlOwner : uint8_t { CONTROL_PLAYER1, CONTROL_PLAYER2, CONTROL_WINDOW };
// The spinner actions belong to a player; the others are the window's.
enum WindowAction : uint8_t {
    ACTION_NONE,
    ACTION_PAUSE,
    ACTION_FULLSCREEN,
    ACTION_MOUSE,
    ACTION_SAVE_STATE,
    ACTION_LOAD_STATE,
    ACTION_SLOT_NEXT,
    ACTION_SLOT_PREVIOUS,
    ACTION_RESET,
    ACTION_SCREENSHOT,
    ACTION_FAST_FORWARD,
    ACTION_REWIND,
    ACTION_SPIN_LEFT,
    ACTION_SPIN_RIGHT,
};

struct ControlInfo {
    const char* name; // its name in the settings file
    ControlOwner owner;
    uint16_t mask;       // the button word bit, or 0
    uint8_t keypad;      // the keypad index (0..9, 10 '*', 11 '#'), or KEYPAD_NONE
    WindowAction action; // for CONTROL_WINDOW
};

// The buttons come first, in this order, for each player; then the keypad keys and the spinner;
// then the window's actions.
constexpr int CONTROL_BUTTONS = 12;
constexpr int CONTROL_KEYPAD_KEYS = 12;
constexpr int CONTROL_SPINNER_KEYS = 2;
constexpr int CONTROL_PER_PLAYER = CONTROL_BUTTONS + CONTROL_KEYPAD_KEYS + CONTROL_SPINNER_KEYS;
constexpr int CONTROL_WINDOW_ACTIONS = 11;
constexpr int CONTROL_COUNT = 2 * CONTROL_PER_PLAYER + CONTROL_WINDOW_ACTIONS;
extern const ControlInfo CONTROLS[CONTROL_COUNT];

// "keys.player1", "keys.player2" or "keys.window".
const char* control_section(ControlOwner owner);

struct SdlSettings {
    int scale = SDL_DEFAULT_SCALE; // the window's first size: 320 x 240 times this
    bool whole_scaling = true;     // whole multiples only (black bars); else fill the window
    bool smooth = false;           // filter the picture when it is enlarged
    bool fullscreen = false;
    int volume = 100;           // percent of the program's own level
    std::string card_folder;    // empty = the bundled card
    std::string last_cartridge; // the host path of the last cartridge started; empty = none
    // Keys as the keyboard labels them (SDL key codes), per control.
    std::vector<SDL_Keycode> keys[CONTROL_COUNT];
    // Game controller buttons per player, for the handheld's buttons (the first CONTROL_BUTTONS
    // controls of a player).
    std::vector<SDL_GameControllerButton> pad_buttons[2][CONTROL_BUTTONS];
};

// The settings of this run, and the file they came from and go to (empty = none is kept).
extern SdlSettings sdl_settings;
extern std::string sdl_settings_path;

// The built-in settings: the controls of the help text and the README.
SdlSettings default_settings();

// $VARIABLE + rest when VARIABLE holds an absolute path, else $HOME + under_home + rest; empty
// when neither is set.
std::string xdg_path(const char* variable, const char* under_home, const char* rest);

// $XDG_CONFIG_HOME/velkoro/velkoro.ini, else ~/.config/velkoro/velkoro.ini; empty when neither
// variable is set.
std::string default_settings_path();

// Reads `path` over `out` (which should hold the defaults). A missing file is no error; an
// unreadable one, a line that is no setting, an unknown name and a bad value each give one line
// on stderr and leave that setting as it was. Returns the number of warnings.
int read_settings(const std::string& path, SdlSettings& out);

// The file's text for `s`.
std::string settings_text(const SdlSettings& s);

// Writes `s` to `path` through a temporary file in the same folder and a rename, so that the
// file is whole at any moment; makes the folder when missing. False, with one line on stderr,
// on failure.
bool write_settings(const std::string& path, const SdlSettings& s);

// Writes `size` bytes to `path` as write_file_atomically does (platform/common/files.h), making
// its folder when missing. Returns nullptr, or why not.
const char* write_whole_file(const std::string& path, const void* data, size_t size);

// Writes sdl_settings to sdl_settings_path, when there is one.
void save_settings();
