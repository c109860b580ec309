// The PC's spinners. A key of the key table (F10 by default) lets the window take the mouse
// (and give it back): while it holds it, the mouse's horizontal motion turns the first player's
// spinner. Two keys per player turn a spinner at a steady rate (',' and '.' the first player's
// to the left and right, N and M the second player's by default). The window's event loop hands
// every event to sdl_spinner_event.
#include "platform/platform.h"
#include "platform/sdl/sdl.h"
#include "platform/sdl/settings.h"

namespace {

// Mouse motion (in the window's pixels) that makes one step.
constexpr int32_t MOUSE_MOTION_PER_STEP = 4;

bool mouse_held = false;
int32_t mouse_motion = 0; // motion not yet turned into steps

} // namespace

void sdl_spinner_event(const SDL_Event& e) {
    const int c = e.type == SDL_KEYDOWN && !e.key.repeat ? key_control(e.key.keysym.scancode) : -1;
    if (c >= 0 && CONTROLS[c].action == ACTION_MOUSE) {
        mouse_held = !mouse_held;
        mouse_motion = 0;
        SDL_SetRelativeMouseMode(mouse_held ? SDL_TRUE : SDL_FALSE);
    } else if (e.type == SDL_MOUSEMOTION && mouse_held) {
        mouse_motion += e.motion.xrel;
    }
}

bool sdl_spinner_has_mouse() { return mouse_held; }

int32_t spinner_key_steps(const uint8_t* keys, int controller) {
    const ControlOwner owner = controller == 0 ? CONTROL_PLAYER1 : CONTROL_PLAYER2;
    int32_t steps = 0;
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        const int c = keys[sc] ? key_control(sc) : -1;
        if (c < 0 || CONTROLS[c].owner != owner) continue;
        if (CONTROLS[c].action == ACTION_SPIN_RIGHT) steps |= 1;
        if (CONTROLS[c].action == ACTION_SPIN_LEFT) steps |= 2;
    }
    // Both ways at once stand still.
    return (steps & 1 ? SPINNER_KEY_STEPS : 0) - (steps & 2 ? SPINNER_KEY_STEPS : 0);
}

int32_t read_spinner(int32_t controller) {
    int32_t steps = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) steps = spinner_key_steps(SDL_GetKeyboardState(nullptr), controller);
    if (controller == 0) {
        int32_t mouse_steps = mouse_motion / MOUSE_MOTION_PER_STEP;
        mouse_motion -= mouse_steps * MOUSE_MOTION_PER_STEP;
        steps += mouse_steps;
    }
    return steps;
}
