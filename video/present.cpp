// The sixteen colours and the presentation of a finished picture: one palette lookup per pixel
// into the top-left 272 x 208 pixels of the screen. Also the wait at every frame end that paces
// the emulation to the console's 60 frames per second.
#include "frontend/surface.h"
#include "machine/driver.h"
#include "platform/platform.h"
#include "video/vdp.h"

#include <cstring>

uint8_t colour_map[16];
uint16_t palette[16];
uint32_t last_present_ms = 0;
uint32_t last_present_sixtieths = 0;

const uint8_t VDP_PALETTE_RGB[16][4] = {
    {0x00, 0x00, 0x00, 0}, {0x00, 0x00, 0x00, 0}, {0x20, 0xC0, 0x20, 0}, {0x60, 0xE0, 0x60, 0},
    {0x20, 0x20, 0xE0, 0}, {0x40, 0x60, 0xE0, 0}, {0xA0, 0x20, 0x20, 0}, {0x40, 0xC0, 0xE0, 0},
    {0xE0, 0x20, 0x20, 0}, {0xE0, 0x60, 0x60, 0}, {0xC0, 0xC0, 0x20, 0}, {0xC0, 0xC0, 0x80, 0},
    {0x20, 0x80, 0x20, 0}, {0xC0, 0x40, 0xA0, 0}, {0xA0, 0xA0, 0xA0, 0}, {0xE0, 0xE0, 0xE0, 0},
};

namespace {

// One console frame lasts 1000/60 ms, that is 1000 sixtieths of a millisecond.
constexpr uint32_t SIXTIETHS_PER_FRAME = 1000;

// Two neighbouring colour indices -> their two screen pixels, in memory order, so that the copy
// takes one lookup and one store for every pair of pixels.
uint16_t pixel_pairs[256][2];

void copy_picture() {
    uint16_t* screen = screen_surface.pixels;
    const uint8_t* src = vdp_picture;
    for (int y = 0; y < VDP_PICTURE_HEIGHT; ++y, src += VDP_PICTURE_WIDTH, screen += screen_surface.pitch)
        for (int x = 0; x < VDP_PICTURE_WIDTH; x += 2)
            std::memcpy(screen + x, pixel_pairs[((src[x] & 0x0F) << 4) | (src[x + 1] & 0x0F)], 4);
}

} // namespace

// Waits until this frame's due time, one console frame after the previous one's. The due times
// advance by the exact frame period (the sixtieths carry over), so sixty frames take one second.
// A host that has fallen far behind starts afresh from now rather than hurrying through frames
// to catch up. Differences are unsigned, so the clock may wrap.
void pace_frame() {
    uint32_t period = last_present_sixtieths + SIXTIETHS_PER_FRAME;
    uint32_t interval_ms = period / 60;
    uint32_t now = timer_ticks();
    if (now - last_present_ms >= interval_ms + PRESENT_LATE_LIMIT_MS) {
        last_present_ms = now;
        last_present_sixtieths = 0;
        return;
    }
    while (now - last_present_ms < interval_ms) now = timer_ticks();
    last_present_ms += interval_ms;
    last_present_sixtieths = period % 60;
}

void palette_set(uint8_t index, uint8_t red, uint8_t green, uint8_t blue) {
    index &= 0x0F;
    palette[index] = uint16_t(((red << 8) & 0xF800) | ((green << 3) & 0x07E0) | (blue >> 3));
    colour_map[index] = index;
    for (int other = 0; other < 16; ++other) {
        pixel_pairs[index << 4 | other][0] = palette[index];
        pixel_pairs[other << 4 | index][1] = palette[index];
        pixel_pairs[index << 4 | other][1] = palette[other];
        pixel_pairs[other << 4 | index][0] = palette[other];
    }
}

void present_frame() {
    if (vdp_picture && screen_surface.pixels) copy_picture();
}
