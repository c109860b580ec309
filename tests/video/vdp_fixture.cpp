#include "tests/video/vdp_fixture.h"

void VdpFixture::SetUp() {
    vdp.vram = vram.data();
    vdp_picture = picture.data();
    vdp_reset();
}

void VdpFixture::TearDown() {
    vdp.vram = nullptr;
    vdp_picture = nullptr;
}

void VdpFixture::set_register(uint8_t n, uint8_t value) {
    vdp_write_control(value);
    vdp_write_control(uint8_t(0x80 | n));
}

void VdpFixture::set_write_address(uint16_t address) {
    vdp_write_control(uint8_t(address));
    vdp_write_control(uint8_t(0x40 | (address >> 8)));
}

void VdpFixture::poke(uint16_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) vram[address++ & VDP_ADDRESS_MASK] = b;
}

void VdpFixture::render_frame() const {
    for (int line = 0; line < VDP_VISIBLE_LINES; ++line) vdp_render_line(uint8_t(line));
}
