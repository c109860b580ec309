// The presentation's host-chosen parts. The wide path: whole picture rows turned into screen
// pixels sixteen at a time with the host's vector instructions, where the host has them;
// present_frame tries it first and falls back to its own word-at-a-time loop. Which file provides
// it is chosen by the build: the x86 one (SSSE3, checked at run time) or the plain one, which has
// no wide path. And the store of one finished row to the screen, by the same choice.
#pragma once
#include <cstdint>

// Converts `rows` rows of `width` picture bytes (a multiple of 16; only the low four bits of a
// byte are a colour index) into RGB565 pixels through `colours`. Pitches are in elements.
// Returns false, having written nothing, where the host has no wide path.
bool present_rows_wide(const uint8_t* picture, int picture_pitch, uint16_t* screen, int screen_pitch,
                       int width, int rows, const uint16_t colours[16]);

// Copies one finished row of `words` 32-bit words (a multiple of 8, more than 0; both ends
// word-aligned) from ordinary memory to the screen. The handheld's screen is uncached memory,
// where every store instruction waits for the bus: on ARM the row goes eight words to a store
// (present_store_arm.cpp); elsewhere it is a plain copy (present_store.cpp).
void present_store_row(uint16_t* screen, const uint32_t* row, int words);
