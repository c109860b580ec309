// The PC's controls as the handheld's buttons, the console's keypads and a second player, through
// the key table of the settings (settings.h). Keys are bound by their labels: the key marked Y is
// Y whatever the keyboard's layout puts it.
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "platform/sdl/settings.h"

#include <cstdio>

namespace {

// The control of every key, -1 for none; the handheld's button bits that each game controller
// button gives, per player.
int8_t key_controls[SDL_NUM_SCANCODES];
uint16_t pad_masks[2][SDL_CONTROLLER_BUTTON_MAX];
bool bound = false;

// Half way: a stick pushed this far counts as the direction.
constexpr int STICK_THRESHOLD = 16384;

int player_of(const ControlInfo& c) { return c.owner == CONTROL_PLAYER1 ? 0 : 1; }

} // namespace

SDL_Scancode sdl_key_place(SDL_Keycode k) {
    SDL_Scancode sc = SDL_GetScancodeFromKey(k);
    if (sc == SDL_SCANCODE_UNKNOWN) sc = SDL_GetScancodeFromName(SDL_GetKeyName(k));
    return sc < SDL_NUM_SCANCODES ? sc : SDL_SCANCODE_UNKNOWN;
}

void sdl_bind_keys() {
    for (int8_t& c : key_controls) c = -1;
    for (int c = 0; c < CONTROL_COUNT; ++c)
        for (SDL_Keycode k : sdl_settings.keys[c]) {
            SDL_Scancode sc = sdl_key_place(k);
            if (sc == SDL_SCANCODE_UNKNOWN) continue;
            if (key_controls[sc] >= 0 && key_controls[sc] != c) {
                std::fprintf(stderr, "velkoro: the key %s is both %s.%s and %s.%s; it stays the first\n",
                             SDL_GetKeyName(k), control_section(CONTROLS[key_controls[sc]].owner),
                             CONTROLS[key_controls[sc]].name, control_section(CONTROLS[c].owner), CONTROLS[c].name);
                continue;
            }
            key_controls[sc] = int8_t(c);
        }
    for (int player = 0; player < 2; ++player) {
        for (uint16_t& m : pad_masks[player]) m = 0;
        for (int b = 0; b < CONTROL_BUTTONS; ++b)
            for (SDL_GameControllerButton button : sdl_settings.pad_buttons[player][b])
                if (button >= 0 && button < SDL_CONTROLLER_BUTTON_MAX)
                    pad_masks[player][button] |= CONTROLS[b].mask;
    }
    bound = true;
}

int key_control(int scancode) {
    if (!bound) sdl_bind_keys();
    return scancode >= 0 && scancode < SDL_NUM_SCANCODES ? key_controls[scancode] : -1;
}

uint16_t keyboard_buttons(const uint8_t* keys, int player) {
    uint16_t held = 0;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        if (!keys[sc]) continue;
        int c = key_control(sc);
        if (c >= 0 && CONTROLS[c].owner != CONTROL_WINDOW && player_of(CONTROLS[c]) == player)
            held |= CONTROLS[c].mask;
    }
    return held;
}

uint8_t keyboard_keypad(const uint8_t* keys, int controller) {
    // Of two keys held at once, the one of the lower keypad index: the console reads one key.
    uint8_t key = KEYPAD_NONE;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        if (!keys[sc]) continue;
        int c = key_control(sc);
        if (c >= 0 && CONTROLS[c].owner != CONTROL_WINDOW && player_of(CONTROLS[c]) == controller &&
            CONTROLS[c].keypad < key)
            key = CONTROLS[c].keypad;
    }
    return key;
}

uint16_t gamepad_buttons(const GamepadState& pad, int player) {
    if (!bound) sdl_bind_keys();
    uint16_t held = 0;
    for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
        if (pad.buttons[b]) held |= pad_masks[player & 1][b];
    if (pad.stick_x <= -STICK_THRESHOLD) held |= BTN_LEFT;
    if (pad.stick_x >= STICK_THRESHOLD) held |= BTN_RIGHT;
    if (pad.stick_y <= -STICK_THRESHOLD) held |= BTN_UP;
    if (pad.stick_y >= STICK_THRESHOLD) held |= BTN_DOWN;
    return held;
}

const char* const SDL_HELP_TEXT =
    "usage: velkoro [CARTRIDGE.rom] [--sd DIR] [--bios FILE] [--config FILE] [--scale N]\n"
    "               [--whole | --fill] [--sharp | --smooth] [--fullscreen | --window] [--help]\n"
    "\n"
    "  CARTRIDGE.rom  start this cartridge at once (a .rom file dropped on the window does too)\n"
    "  --sd DIR       the folder that stands for the SD card; the BIOS (coleco.rom) and the\n"
    "                 cartridges (*.rom) are in DIR/roms/colecovision/ (default: the bundled card)\n"
    "  --bios FILE    the BIOS to run every cartridge with\n"
    "  --config FILE  the settings file (default: $XDG_CONFIG_HOME/velkoro/velkoro.ini)\n"
    "  --scale N      the window's size: 320 x 240 times N, 1 to what fits the desktop (default 3)\n"
    "  --whole        enlarge the picture by whole multiples only, with black bars (the default)\n"
    "  --fill         enlarge the picture as far as the window allows\n"
    "  --smooth       smooth the enlarged picture (--sharp: square pixels, the default)\n"
    "  --fullscreen   start on the whole screen (--window: in a window)\n"
    "  --help         this text\n"
    "Options other than CARTRIDGE, --config and --help are kept in the settings file.\n"
    "\n"
    "Keyboard, first player (the settings file can change every key):\n"
    "  arrow keys            stick\n"
    "  A, Z or Left Ctrl     A    (the joystick's fire button in a game)\n"
    "  B or Space            B    (the keypad's fire button; chooses in the menus)\n"
    "  X or Left Shift       X\n"
    "  Y                     Y    (leaves Velkoro from the cartridge manager)\n"
    "  Q, W                  L, R (keypad keys 0 and 1 in a game)\n"
    "  Enter                 START\n"
    "  Backspace             SELECT (ends the game)\n"
    "  Escape                pauses the game; Escape again ends it, any other key plays on\n"
    "  0-9, - and =          the keypad's 0-9, * and #\n"
    "Keyboard, second player (the console's second controller):\n"
    "  I, J, K, L            stick up, left, down, right\n"
    "  U, O                  A, B (the two fire buttons)\n"
    "  numeric keypad        the second keypad's 0-9, * on *, # on /\n"
    "Spinners (the roller controller's):\n"
    "  , and .               the first player's spinner, left and right\n"
    "  N and M               the second player's spinner, left and right\n"
    "  F10                   the window takes the mouse, or gives it back; while it holds it,\n"
    "                        moving the mouse left and right turns the first player's spinner\n"
    "Game controllers: the first plays with the keyboard's first player, the second is the\n"
    "second player. D-pad or left stick = stick; face buttons as on the handheld: left = A,\n"
    "right = B, bottom = X, top = Y; shoulders = L, R; Start = START; Back = SELECT.\n"
    "Window: F11 or Alt+Enter switch fullscreen; closing the window leaves Velkoro.\n";
