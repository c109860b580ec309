// The hosted back ends' two screen buffers and their ring.
#include "platform/common/screens.h"
#include "platform/platform.h"

#include <cstring>

namespace {

uint16_t buffers[2][DISPLAY_WIDTH * DISPLAY_HEIGHT];
// The ring has four entries over the two buffers, as on the handheld.
int ring_index = 0;
int shown = 0;
uint16_t* drawing = buffers[0];

constexpr int ring_buffer(int entry) { return entry & 1; }

} // namespace

void host_screens_reset() {
    std::memset(buffers, 0, sizeof buffers);
    ring_index = 0;
    shown = 0;
    drawing = buffers[0];
}

const uint16_t* host_shown_screen() { return buffers[shown]; }

uint16_t* display_drawing_pointer() { return drawing; }

void display_flip(int32_t) {
    shown = ring_buffer(ring_index);
    ring_index = (ring_index + 1) & 3;
    drawing = buffers[ring_buffer(ring_index)];
}
