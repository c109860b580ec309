// The PC's controls as the handheld's buttons, the console's keypads and a second player. Keys
// are SDL scancodes, that is places on a US keyboard, so that the layout stays where the help
// says whatever letters the keyboard carries.
#include "platform/platform.h"
#include "platform/sdl/sdl.h"

namespace {

struct KeyBinding {
    SDL_Scancode key;
    uint16_t mask;
};

// The first player: the arrow keys and the letters on the left of the keyboard.
constexpr KeyBinding first_player_keys[] = {
    {SDL_SCANCODE_UP, BTN_UP},
    {SDL_SCANCODE_DOWN, BTN_DOWN},
    {SDL_SCANCODE_LEFT, BTN_LEFT},
    {SDL_SCANCODE_RIGHT, BTN_RIGHT},
    {SDL_SCANCODE_LCTRL, BTN_A},
    {SDL_SCANCODE_Z, BTN_A},
    {SDL_SCANCODE_LALT, BTN_B},
    {SDL_SCANCODE_X, BTN_B},
    {SDL_SCANCODE_LSHIFT, BTN_X},
    {SDL_SCANCODE_C, BTN_X},
    {SDL_SCANCODE_SPACE, BTN_Y},
    {SDL_SCANCODE_V, BTN_Y},
    {SDL_SCANCODE_Q, BTN_L},
    {SDL_SCANCODE_W, BTN_R},
    {SDL_SCANCODE_RETURN, BTN_START},
    {SDL_SCANCODE_KP_ENTER, BTN_START},
    {SDL_SCANCODE_BACKSPACE, BTN_SELECT},
    {SDL_SCANCODE_ESCAPE, BTN_SELECT},
};

// The second player, for the right hand: I, J, K, L as the stick, U and O as the fire buttons
// (A and B, in the handheld's order from left to right).
constexpr KeyBinding second_player_keys[] = {
    {SDL_SCANCODE_I, BTN_UP},    {SDL_SCANCODE_K, BTN_DOWN}, {SDL_SCANCODE_J, BTN_LEFT},
    {SDL_SCANCODE_L, BTN_RIGHT}, {SDL_SCANCODE_U, BTN_A},    {SDL_SCANCODE_O, BTN_B},
};

struct KeypadBinding {
    SDL_Scancode key;
    uint8_t index; // 0..9 the digits, 10 '*', 11 '#'
};

constexpr KeypadBinding number_row[] = {
    {SDL_SCANCODE_0, 0}, {SDL_SCANCODE_1, 1}, {SDL_SCANCODE_2, 2},      {SDL_SCANCODE_3, 3},
    {SDL_SCANCODE_4, 4}, {SDL_SCANCODE_5, 5}, {SDL_SCANCODE_6, 6},      {SDL_SCANCODE_7, 7},
    {SDL_SCANCODE_8, 8}, {SDL_SCANCODE_9, 9}, {SDL_SCANCODE_MINUS, 10}, {SDL_SCANCODE_EQUALS, 11},
};

// The numeric keypad has no '#': it sits on '/', beside '*' (and on '=' or '#' where a keypad
// has them).
constexpr KeypadBinding numeric_keypad[] = {
    {SDL_SCANCODE_KP_0, 0},       {SDL_SCANCODE_KP_1, 1},         {SDL_SCANCODE_KP_2, 2},
    {SDL_SCANCODE_KP_3, 3},       {SDL_SCANCODE_KP_4, 4},         {SDL_SCANCODE_KP_5, 5},
    {SDL_SCANCODE_KP_6, 6},       {SDL_SCANCODE_KP_7, 7},         {SDL_SCANCODE_KP_8, 8},
    {SDL_SCANCODE_KP_9, 9},       {SDL_SCANCODE_KP_MULTIPLY, 10}, {SDL_SCANCODE_KP_DIVIDE, 11},
    {SDL_SCANCODE_KP_EQUALS, 11}, {SDL_SCANCODE_KP_HASH, 11},
};

// Game controller buttons by place: the handheld has A on the left, B on the right, X at the
// bottom and Y at the top.
struct PadBinding {
    SDL_GameControllerButton button;
    uint16_t mask;
};

constexpr PadBinding pad_buttons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, BTN_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, BTN_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, BTN_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, BTN_RIGHT},
    {SDL_CONTROLLER_BUTTON_X, BTN_A}, // left
    {SDL_CONTROLLER_BUTTON_B, BTN_B}, // right
    {SDL_CONTROLLER_BUTTON_A, BTN_X}, // bottom
    {SDL_CONTROLLER_BUTTON_Y, BTN_Y}, // top
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, BTN_L},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, BTN_R},
    {SDL_CONTROLLER_BUTTON_START, BTN_START},
    {SDL_CONTROLLER_BUTTON_BACK, BTN_SELECT},
};

// Half way: a stick pushed this far counts as the direction.
constexpr int STICK_THRESHOLD = 16384;

template <size_t N> uint16_t held_keys(const uint8_t* keys, const KeyBinding (&table)[N]) {
    uint16_t held = 0;
    for (const KeyBinding& b : table)
        if (keys[b.key]) held |= b.mask;
    return held;
}

template <size_t N> uint8_t held_keypad(const uint8_t* keys, const KeypadBinding (&table)[N]) {
    for (const KeypadBinding& b : table)
        if (keys[b.key]) return b.index;
    return KEYPAD_NONE;
}

} // namespace

uint16_t keyboard_buttons(const uint8_t* keys, int player) {
    return player == 0 ? held_keys(keys, first_player_keys) : held_keys(keys, second_player_keys);
}

uint8_t keyboard_keypad(const uint8_t* keys, int controller, bool numeric_keypad_second) {
    if (controller == 0) {
        uint8_t key = held_keypad(keys, number_row);
        return key != KEYPAD_NONE ? key : held_keypad(keys, numeric_keypad);
    }
    return numeric_keypad_second ? held_keypad(keys, numeric_keypad) : KEYPAD_NONE;
}

uint16_t gamepad_buttons(const GamepadState& pad) {
    uint16_t held = 0;
    for (const PadBinding& b : pad_buttons)
        if (pad.buttons[b.button]) held |= b.mask;
    if (pad.stick_x <= -STICK_THRESHOLD) held |= BTN_LEFT;
    if (pad.stick_x >= STICK_THRESHOLD) held |= BTN_RIGHT;
    if (pad.stick_y <= -STICK_THRESHOLD) held |= BTN_UP;
    if (pad.stick_y >= STICK_THRESHOLD) held |= BTN_DOWN;
    return held;
}

const char* const SDL_HELP_TEXT =
    "usage: velkoro [--sd DIR] [--scale N] [--fullscreen] [--help]\n"
    "\n"
    "  --sd DIR       the folder that stands for the SD card; the BIOS (coleco.rom) and the\n"
    "                 cartridges (*.rom) are in DIR/roms/colecovision/ (default: the bundled card)\n"
    "  --scale N      the window's size: 320 x 240 times N, 1 to 16 (default 3)\n"
    "  --fullscreen   start on the whole screen (F11 or Alt+Enter switch)\n"
    "  --help         this text\n"
    "\n"
    "Keyboard, first player:\n"
    "  arrow keys            stick\n"
    "  Left Ctrl or Z        A    (the joystick's fire button in a game)\n"
    "  Left Alt or X         B    (the keypad's fire button; chooses in the menus)\n"
    "  Left Shift or C       X\n"
    "  Space or V            Y    (leaves Velkoro from the cartridge manager)\n"
    "  Q, W                  L, R (keypad keys 0 and 1 in a game)\n"
    "  Enter                 START\n"
    "  Backspace or Escape   SELECT (ends the game)\n"
    "  0-9, - and =          the keypad's 0-9, * and #\n"
    "  numeric keypad        the keypad's 0-9, * on *, # on /\n"
    "Keyboard, second player (the console's second controller):\n"
    "  I, J, K, L            stick up, left, down, right\n"
    "  U, O                  A, B (the two fire buttons)\n"
    "  numeric keypad        without a second game controller, also the second keypad\n"
    "Spinners (the roller controller's):\n"
    "  , and .               the first player's spinner, left and right\n"
    "  N and M               the second player's spinner, left and right\n"
    "  F10                   the window takes the mouse, or gives it back; while it holds it,\n"
    "                        moving the mouse left and right turns the first player's spinner\n"
    "Game controllers: the first plays with the keyboard's first player, the second is the\n"
    "second player. D-pad or left stick = stick; face buttons as on the handheld: left = A,\n"
    "right = B, bottom = X, top = Y; shoulders = L, R; Start = START; Back = SELECT.\n"
    "Window: F11 or Alt+Enter switch fullscreen; closing the window leaves Velkoro.\n";
