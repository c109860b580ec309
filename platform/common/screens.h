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
