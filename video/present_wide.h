// The presentation's wide path: whole picture rows turned into screen pixels sixteen at a time
// with the host's vector instructions, where the host has them. present_frame tries it first
// and falls back to its own word-at-a-time loop. Which file provides it is chosen by the build:
// the x86 one (SSSE3, checked at run time) or the plain one, which has no wide path.
#pragma once
#include <cstdint>

// Converts `rows` rows of `width` picture bytes (a multiple of 16; only the low four bits of a
// byte are a colour index) into RGB565 pixels through `colours`. Pitches are in elements.
// Returns false, having written nothing, where the host has no wide path.
bool present_rows_wide(const uint8_t* picture, int picture_pitch, uint16_t* screen, int screen_pitch,
                       int width, int rows, const uint16_t colours[16]);
