// The PC's spinners. F10 lets the window take the mouse (and give it back): while it holds it,
// the mouse's horizontal motion turns the first player's spinner. Two keys per player turn a
// spinner at a steady rate: ',' and '.' the first player's to the left and right, N and M the
// second player's. The window's event loop hands every event to sdl_spinner_event.
#include "platform/platform.h"
#include "platform/sdl/sdl.h"

namespace {

// Mouse motion (in the window's pixels) that makes one step.
constexpr int32_t MOUSE_MOTION_PER_STEP = 4;

// By their labels, as the other keys: wherever the keyboard's layout puts them.
struct SpinnerKeys {
    SDL_Keycode left, right;
};
constexpr SpinnerKeys spinner_keys[2] = {
    {SDLK_COMMA, SDLK_PERIOD},
    {SDLK_n, SDLK_m},
};

bool held(const uint8_t* keys, SDL_Keycode key) {
    SDL_Scancode sc = sdl_key_place(key);
    return sc != SDL_SCANCODE_UNKNOWN && keys[sc];
}

bool mouse_held = false;
int32_t mouse_motion = 0; // motion not yet turned into steps

} // namespace

void sdl_spinner_event(const SDL_Event& e) {
    if (e.type == SDL_KEYDOWN && !e.key.repeat && e.key.keysym.sym == SDLK_F10) {
        mouse_held = !mouse_held;
        mouse_motion = 0;
        SDL_SetRelativeMouseMode(mouse_held ? SDL_TRUE : SDL_FALSE);
    } else if (e.type == SDL_MOUSEMOTION && mouse_held) {
        mouse_motion += e.motion.xrel;
    }
}

bool sdl_spinner_has_mouse() { return mouse_held; }

int32_t spinner_key_steps(const uint8_t* keys, int controller) {
    const SpinnerKeys& k = spinner_keys[controller & 1];
    return (held(keys, k.right) ? SPINNER_KEY_STEPS : 0) - (held(keys, k.left) ? SPINNER_KEY_STEPS : 0);
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
