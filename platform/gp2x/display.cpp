// The handheld's display controller: the RGB layer over the two Linux frame buffers, its four
// regions, the video layers (switched off), the gamma ramp, the hardware cursor (programmed and
// switched off) and the screen ring that display_flip walks.
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/system.h"
#include "platform/platform.h"

#include <cstring>
#include <initializer_list>

namespace {

// Each video layer's address registers: low half, high half, written twice (the two fields).
constexpr uint32_t VIDEO_LAYER_ADDRESS[4] = {0x28A0, 0x28A8, 0x28CA, 0x28D2};
constexpr uint32_t SECOND_FRAME_OFFSET = RGB_FRAME_BYTES;
constexpr uint32_t NEXT_LINE_OFFSET = RGB_LINE_BYTES;
// At 8 bits per pixel a buffer holds two pages; ring entries 2 and 3 show the second.
constexpr uint32_t SECOND_PAGE_OFFSET = 0x12C00;

void set_bits(uint32_t offset, uint16_t bits) { reg16(offset) = uint16_t(reg16(offset) | bits); }
void clear_bits(uint32_t offset, uint16_t bits) { reg16(offset) = uint16_t(reg16(offset) & ~bits); }

void write_address_pair(uint32_t low_offset, uint32_t high_offset, uint32_t address) {
    reg16(low_offset) = uint16_t(address & 0xFFFF);
    reg16(high_offset) = uint16_t(address >> 16);
}

void write_rgb_address(uint32_t address) {
    write_address_pair(reg::RGB_ADDRESS_LOW_EVEN, reg::RGB_ADDRESS_HIGH_EVEN, address);
    write_address_pair(reg::RGB_ADDRESS_LOW_ODD, reg::RGB_ADDRESS_HIGH_ODD, address);
}

void write_layer_address(int layer, uint32_t address) {
    uint32_t base = VIDEO_LAYER_ADDRESS[layer];
    write_address_pair(base, base + 2, address);
    write_address_pair(base + 4, base + 6, address);
}

uint32_t layer_buffer_phys(int layer, int index) {
    return VIDEO_LAYER_PHYS + uint32_t(layer * 2 + index) * VIDEO_LAYER_BYTES;
}

// The cursor's arrow: '#' foreground, '+' background (its outline), '.' transparent.
constexpr const char* ARROW[16] = {
    "+...............", "++..............", "+#+.............", "+##+............",
    "+###+...........", "+####+..........", "+#####+.........", "+######+........",
    "+#######+.......", "+####+++........", "+##+##+.........", "+#+.+##+........",
    "++..+##+........", "+....+##+.......", ".....+##+.......", "......++........",
};

constexpr uint8_t arrow_pixel(char c) { return c == '#' ? 1 : c == '+' ? 0 : 2; }

constexpr auto make_cursor_bitmap() {
    struct Bitmap {
        uint8_t bytes[64];
    } b{};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int i = y * 16 + x;
            b.bytes[i / 4] = uint8_t(b.bytes[i / 4] | (arrow_pixel(ARROW[y][x]) << (2 * (i % 4))));
        }
    return b;
}

constexpr auto CURSOR = make_cursor_bitmap();

// The identity gamma ramp as the display controller takes it: per entry (v << 8) | v, then v.
struct GammaRamp {
    uint16_t words[512];
};

GammaRamp make_gamma_ramp() {
    GammaRamp g{};
    const float step = 1.0f / 255.0f;
    for (int i = 0; i < 256; ++i) {
        double level = double(float(i) * step);
        uint32_t v = uint32_t(level * 255.0 + 0.5) & 0xFF;
        g.words[2 * i] = uint16_t((v << 8) | v);
        g.words[2 * i + 1] = uint16_t(v);
    }
    return g;
}

} // namespace

const uint8_t (&CURSOR_BITMAP)[64] = CURSOR.bytes;

void display_set_gamma_identity() {
    static const GammaRamp ramp = make_gamma_ramp();
    reg16(reg::GAMMA_INDEX) = 0;
    sys_write_port16(&reg16(reg::GAMMA_DATA), ramp.words, 512);
}

void display_set_rgb_regions(int32_t region_0, int32_t region_1, int32_t region_2, int32_t region_3,
                             int32_t split_x, int32_t split_y) {
    const int32_t values[4] = {region_0, region_1, region_2, region_3};
    const int32_t windows[4][4] = {{0, split_x, 0, split_y},
                                   {split_x, 319, 0, split_y},
                                   {0, split_x, split_y, 239},
                                   {split_x, 319, split_y, 239}};
    set_bits(reg::OVERLAY_CONTROL, 0x007C);
    for (int r = 0; r < 4; ++r) {
        int32_t v = values[r];
        if (v < 0) {
            clear_bits(reg::RGB_CONTROL, uint16_t(1u << (2 * r)));
            continue;
        }
        uint16_t alpha = uint16_t(v < 15 ? v : 15);
        if (r < 3) {
            uint16_t field = uint16_t(0xFu << (4 * r));
            reg16(reg::RGB_ALPHA) = uint16_t((reg16(reg::RGB_ALPHA) & ~field) | (alpha << (4 * r)));
        } else {
            reg16(reg::RGB_ALPHA_REGION3) = uint16_t((reg16(reg::RGB_ALPHA_REGION3) & ~0xFu) | alpha);
        }
        uint16_t blend = v == 0x11 ? 0 : v == 0x10 ? 1 : 2;
        uint16_t blend_field = uint16_t(3u << (2 * r));
        reg16(reg::RGB_BLEND) = uint16_t((reg16(reg::RGB_BLEND) & ~blend_field) | (blend << (2 * r)));
        for (int w = 0; w < 4; ++w)
            reg16(reg::RGB_WINDOWS + 8 * uint32_t(r) + 2 * uint32_t(w)) = uint16_t(windows[r][w]);
        set_bits(reg::RGB_CONTROL, uint16_t(3u << (2 * r)));
    }
}

// The video layers are never shown: a negative argument clears the layer pair's enable bit in
// the overlay control register (bit 0 for the first pair, bit 1 for the second), and every
// layer's address registers point at the first of its two buffers.
void display_set_video_layers(int32_t a, int32_t b, int32_t c, int32_t d, int32_t, int32_t) {
    const int32_t values[4] = {a, b, c, d};
    for (int pair = 0; pair < 2; ++pair) {
        uint16_t bit = uint16_t(1u << pair);
        if (values[2 * pair] < 0 && values[2 * pair + 1] < 0)
            clear_bits(reg::OVERLAY_CONTROL, bit);
        else
            set_bits(reg::OVERLAY_CONTROL, bit);
    }
    for (int layer = 0; layer < 4; ++layer) write_layer_address(layer, layer_buffer_phys(layer, 0));
}

void display_set_cursor() {
    PlatformState& p = platform_state;
    if (p.cursor) std::memcpy(p.cursor, CURSOR.bytes, sizeof CURSOR.bytes);
    reg16(reg::CURSOR_SIZE) = 16;
    reg16(reg::CURSOR_X) = (DISPLAY_WIDTH - 16) / 2;
    reg16(reg::CURSOR_Y) = (DISPLAY_HEIGHT - 16) / 2;
    reg16(0x2924) = 0xFFFF; // foreground red and green: white
    reg16(0x2926) = 0x00FF; // foreground blue
    reg16(0x2928) = 0x0000; // background: black
    reg16(0x292A) = 0x0000;
    write_address_pair(reg::CURSOR_ADDRESS, reg::CURSOR_ADDRESS + 2, CURSOR_PHYS);
    write_address_pair(reg::CURSOR_ADDRESS + 4, reg::CURSOR_ADDRESS + 6, CURSOR_PHYS);
}

void display_program(int32_t bits_per_pixel, bool first_start) {
    PlatformState& p = platform_state;
    uint32_t bytes_per_pixel = uint32_t(bits_per_pixel + 1) / 8;
    reg16(0x28BE) = 0x0500;
    reg16(0x28BC) = reg16(0x28BE);
    reg16(0x2894) = reg16(0x28BC);
    reg16(0x2892) = reg16(0x2894);
    reg16(0x2884) = 0;
    reg16(reg::RGB_LINE_WIDTH) = uint16_t(bytes_per_pixel * 320);
    reg16(reg::RGB_CONTROL) = uint16_t((bytes_per_pixel << 9) | 0x00AB);
    if (first_start) {
        reg16(0x2934) = 0;
        reg16(0x2946) = 0;
        clear_bits(reg::OVERLAY_CONTROL, 1u << 12);
        display_set_gamma_identity();
        reg16(0x2902) = 0;
        reg16(0x2904) = 0;
        reg16(reg::RGB_HSCALE) = 0x0400;
        reg32(reg::RGB_VSCALE) = ((reg16(reg::RGB_CONTROL) >> 9) & 3u) * 320u;
        display_set_rgb_regions(0x11, -1, -1, -1, 319, 239);
        for (uint32_t r : {0x2886u, 0x2888u, 0x28B0u, 0x28B2u}) reg16(r) = 0x0400;
        for (uint32_t r : {0x288Au, 0x288Eu, 0x28B4u, 0x28B8u}) reg16(r) = 0x0280;
        for (uint32_t r : {0x288Cu, 0x2890u, 0x28B6u, 0x28BAu}) reg16(r) = 0;
        display_set_video_layers(-1, -1, -1, -1, 319, 239);
        display_set_cursor();
        clear_bits(reg::OVERLAY_CONTROL, 1u << 9);
    }
    if (bits_per_pixel == 8) {
        // A palette of black with white as its last entry.
        uint16_t words[512] = {};
        words[510] = 0xFFFF;
        words[511] = 0x00FF;
        reg16(reg::PALETTE_INDEX) = 0;
        sys_write_port16(&reg16(reg::PALETTE_DATA), words, 512);
    }
    for (int b = 0; b < 2; ++b) std::memset(p.rgb_pixels[b], 0, RGB_BUFFER_BYTES);
    uint32_t page = bits_per_pixel == 8 ? SECOND_PAGE_OFFSET : 0;
    for (int e = 0; e < 4; ++e) {
        uint32_t offset = e >= 2 ? page : 0;
        p.ring_phys[e] = p.rgb_phys[e & 1] + offset;
        p.ring_pixels[e] = p.rgb_pixels[e & 1] + offset / 2;
    }
    p.ring_index = 0;
    display_flip(0);
    for (int layer = 0; layer < 4; ++layer) {
        p.layer_index[layer] = 0;
        uint32_t address = layer_buffer_phys(layer, 0);
        if (p.layer_flags[layer] & 1) address += SECOND_FRAME_OFFSET;
        if (p.layer_flags[layer] & 2) address += NEXT_LINE_OFFSET;
        p.layer_index[layer] = uint8_t((p.layer_index[layer] + 1) & 1);
        write_layer_address(layer, address);
    }
}

// The handheld always shows its whole screen.
void display_show_game(int32_t) {}

uint16_t* display_drawing_pointer() { return platform_state.drawing_pointer; }

void display_flip(int32_t) {
    PlatformState& p = platform_state;
    write_rgb_address(p.ring_phys[p.ring_index]);
    p.ring_index = (p.ring_index + 1) & 3;
    p.drawing_pointer = p.ring_pixels[p.ring_index];
}
