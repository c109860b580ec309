// Waiting for presses and releases. Busy-waits on the platform's registers, as the handheld's
// menus do: nothing else runs on the main thread while a screen waits.
#include "frontend/ui.h"
#include "platform/platform.h"

int16_t pending_moves = 0;

uint16_t ui_wait_buttons(uint32_t timeout) {
    uint16_t last = 0;
    if (timeout == 0) {
        while (!(last & UI_WATCHED)) last = read_pad();
        while (read_pad() & UI_WATCHED) {
        }
    } else {
        uint32_t t0 = timer_ticks();
        while (timer_ticks() - t0 < timeout && !(last & UI_WATCHED)) last = read_pad();
        // The release wait is bounded by the same limit, so a held key cannot stall a timed
        // wait; it is still looked at once, even when the time is already up.
        for (;;) {
            if (!(read_pad() & UI_WATCHED)) break;
            if (timer_ticks() - t0 >= timeout) break;
        }
    }
    if (last & UI_CANCELS_MOVES) pending_moves = 0;
    return uint16_t(last & UI_WATCHED);
}

void ui_wait_release() {
    while (read_pad() & UI_WATCHED) {
    }
}
