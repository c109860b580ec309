// The video chip's memories and the screen for a test that drives the frame driver or the
// renderers without a cartridge: the test owns the memories, the screen is the back end's
// drawing buffer. Header only, so that tests on any back end can use it.
#pragma once
#include <cstdint>

#include "frontend/surface.h"
#include "platform/platform.h"
#include "video/vdp.h"

inline void attach_video_memories(uint8_t* vram, uint8_t* picture) {
    vdp.vram = vram;
    vdp_picture = picture;
    screen_surface.pixels = display_drawing_pointer();
    screen_surface.pitch = screen_surface.width = DISPLAY_WIDTH;
    screen_surface.height = DISPLAY_HEIGHT;
    vdp_reset();
}

inline void detach_video_memories() {
    vdp.vram = nullptr;
    vdp_picture = nullptr;
    screen_surface.pixels = nullptr;
}
