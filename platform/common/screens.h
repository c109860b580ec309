// The screen of a hosted back end (headless, the PC window): two 320 x 240 RGB565 buffers in
// memory, shown in the order of the handheld's ring (buffer 0, 1, 0, 1, ... at successive flips),
// behind display_flip and display_drawing_pointer (screens.cpp). The back end reads the shown
// buffer to write a screenshot or to fill its window.
#pragma once
#include <cstdint>

// Clears both buffers and restarts the ring: the next flip shows buffer 0.
void host_screens_reset();

// The buffer shown now, 320 x 240 pixels, pitch 320.
const uint16_t* host_shown_screen();

// RGB565 to 8-bit red, green and blue, the top bits repeated so that white stays 0xFF: how a
// hosted back end hands the screen on (screenshots, a browser's canvas), so that they compare.
inline void expand_rgb565(uint16_t p, uint8_t* out) {
    unsigned r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
    out[0] = uint8_t((r << 3) | (r >> 2));
    out[1] = uint8_t((g << 2) | (g >> 4));
    out[2] = uint8_t((b << 3) | (b >> 2));
}
