// Waiting for presses and releases. Busy-waits on the platform's registers, as the handheld's
// menus do: nothing else runs on the main thread while a screen waits.
#include "frontend/ui.h"
#include "platform/platform.h"

int16_t pending_moves = 0;
bool ui_press_repeated = false;

namespace {

// The watched controls the last wait saw held, and when a held direction repeats next. A press
// is counted when it begins, so one that outlasts a wait is not counted by the next.
uint16_t held = 0;
uint32_t next_repeat = 0;

// True once `now` has reached `due` on the wrapping millisecond clock.
bool reached(uint32_t now, uint32_t due) { return int32_t(now - due) >= 0; }

// Reads the watched controls, forgetting those let go, and returns them with the ones pressed
// since the last look in `fresh`.
uint16_t look(uint16_t* fresh) {
    uint16_t now_held = read_pad() & UI_WATCHED;
    *fresh = now_held & ~held;
    held = now_held;
    return now_held;
}

} // namespace

uint16_t ui_wait_buttons(uint32_t timeout) {
    ui_press_repeated = false;
    uint16_t pressed = 0, fresh = 0;
    if (timeout == 0) {
        while (!fresh) pressed = look(&fresh);
        ui_wait_release();
    } else {
        uint32_t t0 = timer_ticks();
        for (;;) {
            // The time first, so that a control read as held was held at that time.
            uint32_t now = timer_ticks();
            uint16_t now_held = look(&fresh);
            bool repeat = !fresh && now_held && !(now_held & ~UI_DIRECTIONS) && reached(now, next_repeat);
            if (fresh || repeat) {
                pressed = now_held;
                ui_press_repeated = repeat;
                // A fresh press may have begun after `now`: its delay runs from the time after it.
                next_repeat = fresh ? timer_ticks() + UI_REPEAT_DELAY_MS : now + UI_REPEAT_INTERVAL_MS;
                break;
            }
            if (now - t0 >= timeout) break;
        }
    }
    // Pressing a button cancels the queued moves; holding it on does not cancel later ones.
    if (pressed & UI_CANCELS_MOVES) pending_moves = 0;
    return pressed;
}

void ui_wait_release() {
    while (read_pad() & UI_WATCHED) {
    }
    held = 0;
}
