// The console's video display processor: 16 KB of video memory, eight write-only registers,
// the status register, the control-port protocol, display modes and table bases, the line
// renderers that build the VdpPicture, sprites, the palette and the presentation of a finished
// picture on the screen. The port dispatcher, the cartridge loader and the frame driver call it.
#pragma once
#include <cstdint>

constexpr int VDP_PICTURE_WIDTH = 272;
constexpr int VDP_PICTURE_HEIGHT = 208;
constexpr int VDP_PICTURE_BYTES = VDP_PICTURE_WIDTH * VDP_PICTURE_HEIGHT;  // 0xDD00
constexpr int VDP_VRAM_BYTES = 16384;

struct VdpState {
    uint8_t* vram;  // VDP_VRAM_BYTES, created per game by the loader
    uint8_t regs[8];
    uint8_t status;
    uint8_t awaiting_first_byte;
    uint8_t latched_byte;
    uint16_t write_address;
    uint16_t read_address;
    uint8_t mode;
    uint16_t name_base, colour_base, pattern_base, sprite_attr_base, sprite_pattern_base;
    uint8_t text_colour;
    uint8_t backdrop_colour;
};

extern VdpState vdp;

// The 272 x 208 picture of colour indices, allocated once by the play cycle.
extern uint8_t* vdp_picture;

void vdp_reset();
void vdp_write_data(uint8_t value);
void vdp_write_control(uint8_t value);
uint8_t vdp_read_data();
uint8_t vdp_read_status();
void vdp_render_line(uint8_t line);
bool vdp_frame_end();

// Copies the picture to the screen and paces the emulation.
void present_frame();
