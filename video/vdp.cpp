// The video chip's programmer-visible side: the two ports, the registers with mode selection and
// table bases, the status register and the frame-end decision on the video interrupt. There is
// no read-ahead buffer: reads and writes have their own address counters.
#include "video/vdp.h"

#include <cstring>

VdpState vdp;
uint8_t* vdp_picture = nullptr;

const VdpModeInfo vdp_modes[4] = {
    {render_text_line, 0x7F, 0x00, 0x3F, 0x00},
    {render_graphics1_line, 0x7F, 0xFF, 0x3F, 0xFF},
    {render_graphics2_line, 0x7F, 0x80, 0x3C, 0xFF},
    {render_multicolour_line, 0x7F, 0x00, 0x3F, 0xFF},
};

namespace {

constexpr int8_t MODE_UNCHANGED = -1;

// Mode index (M1 M2 R0.3 R0.2 M3, from R1 bits 4..3 and R0 bits 3..1) -> new mode. Only the
// four clean combinations select a mode; mixed bits leave the current one in place.
constexpr int8_t mode_by_index[32] = {
    MODE_GRAPHICS1, MODE_GRAPHICS2, MODE_UNCHANGED,   MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,
    MODE_UNCHANGED, MODE_UNCHANGED, MODE_MULTICOLOUR, MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,
    MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,   MODE_UNCHANGED, MODE_TEXT,      MODE_UNCHANGED,
    MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,   MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,
    MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,   MODE_UNCHANGED, MODE_UNCHANGED, MODE_UNCHANGED,
    MODE_UNCHANGED, MODE_UNCHANGED,
};

constexpr uint8_t initial_regs[8] = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

uint16_t table_base(uint8_t value, uint8_t mask, uint32_t scale) {
    return uint16_t((uint32_t(value & mask) * scale) & VDP_ADDRESS_MASK);
}

void set_name_base(uint8_t d) { vdp.name_base = table_base(d, vdp_modes[vdp.mode].name_mask, 0x400); }
void set_colour_base(uint8_t d) { vdp.colour_base = table_base(d, vdp_modes[vdp.mode].colour_mask, 0x40); }
void set_pattern_base(uint8_t d) {
    vdp.pattern_base = table_base(d, vdp_modes[vdp.mode].pattern_mask, 0x800);
}
void set_sprite_attr_base(uint8_t d) {
    vdp.sprite_attr_base = table_base(d, vdp_modes[vdp.mode].sprite_attr_mask, 0x80);
}

void select_mode(uint8_t r0, uint8_t r1) {
    int8_t selected = mode_by_index[(r1 & 0x18) | ((r0 & 0x0E) >> 1)];
    if (selected == MODE_UNCHANGED || uint8_t(selected) == vdp.mode) return;
    vdp.mode = uint8_t(selected);
    set_name_base(vdp.regs[2]);
    set_colour_base(vdp.regs[3]);
    set_pattern_base(vdp.regs[4]);
    set_sprite_attr_base(vdp.regs[5]);
    vdp.sprite_pattern_base = table_base(vdp.regs[6], 0x3F, 0x800);
}

void write_register(uint8_t n, uint8_t d) {
    switch (n) {
    case 0: select_mode(d, vdp.regs[1]); break;
    case 1: select_mode(vdp.regs[0], d); break;
    case 2: set_name_base(d); break;
    case 3: set_colour_base(d); break;
    case 4: set_pattern_base(d); break;
    case 5: set_sprite_attr_base(d); break;
    case 6:
        d &= 0x3F;
        vdp.sprite_pattern_base = table_base(d, 0x3F, 0x800);
        break;
    default:
        vdp.text_colour = d >> 4;
        vdp.backdrop_colour = d & 0x0F;
        break;
    }
    vdp.regs[n] = d;
}

} // namespace

void vdp_reset() {
    for (int i = 0; i < 16; ++i)
        palette_set(uint8_t(i), VDP_PALETTE_RGB[i][0], VDP_PALETTE_RGB[i][1], VDP_PALETTE_RGB[i][2]);
    std::memcpy(vdp.regs, initial_regs, sizeof vdp.regs);
    vdp.status = 0x9F;
    vdp.mode = MODE_TEXT;
    vdp.name_base = vdp.colour_base = vdp.pattern_base = vdp.sprite_attr_base = vdp.sprite_pattern_base = 0;
    vdp.awaiting_first_byte = 1;
    vdp.backdrop_colour = 0;
    vdp.text_colour = 0;
}

void vdp_write_control(uint8_t v) {
    if (vdp.awaiting_first_byte) {
        vdp.latched_byte = v;
        vdp.awaiting_first_byte = 0;
        return;
    }
    vdp.awaiting_first_byte = 1;
    switch (v & 0xC0) {
    case 0x40: vdp.write_address = uint16_t(((v & 0x3F) << 8) | vdp.latched_byte); break;
    case 0x00: vdp.read_address = uint16_t((v << 8) | vdp.latched_byte); break;
    case 0x80: write_register(v & 7, vdp.latched_byte); break;
    default: break;
    }
}

void vdp_write_data(uint8_t v) {
    // A data byte between the two halves of a control pair is lost.
    if (!vdp.awaiting_first_byte) return;
    vdp.vram[vdp.write_address] = v;
    vdp.write_address = (vdp.write_address + 1) & VDP_ADDRESS_MASK;
}

void vdp_write_data_run(const uint8_t* memory, uint16_t address, int step, uint32_t count) {
    if (!vdp.awaiting_first_byte) return;
    uint8_t* vram = vdp.vram;
    uint16_t to = vdp.write_address;
    for (; count != 0; --count, address = uint16_t(address + step)) {
        vram[to] = memory[address];
        to = (to + 1) & VDP_ADDRESS_MASK;
    }
    vdp.write_address = to;
}

uint8_t vdp_read_data() {
    uint8_t v = vdp.vram[vdp.read_address];
    vdp.read_address = (vdp.read_address + 1) & VDP_ADDRESS_MASK;
    return v;
}

uint8_t vdp_read_status() {
    uint8_t v = vdp.status;
    vdp.status &= 0x5F;
    vdp.awaiting_first_byte = 1;
    return v;
}

// Without a picture buffer (a machine run outside the play cycle) there is nothing to draw into.
void vdp_render_line(uint8_t line) {
    if (vdp_picture) vdp_modes[vdp.mode].render(line);
}

bool vdp_frame_end() {
    vdp.status = (vdp.status & 0x5F) | STATUS_FRAME;
    if (vdp.mode != MODE_TEXT) {
        vdp.status = uint8_t((vdp.status & 0xA0) | vdp_fifth_sprite());
        vdp_check_collisions();
    }
    return vdp.awaiting_first_byte && (vdp.regs[1] & R1_INTERRUPT_ENABLE);
}
