// The video chip's ports, registers, mode selection, table bases, status and the frame-end
// interrupt decision.
#include "tests/video/vdp_fixture.h"

namespace {

using Vdp = VdpFixture;

TEST_F(Vdp, ControlPortProtocol) {
    // Write address, then data: stored in order; the read address is a separate counter.
    vdp.read_address = 0x0123;
    set_write_address(0x0000);
    vdp_write_data(0x12);
    vdp_write_data(0x34);
    EXPECT_EQ(vram[0], 0x12);
    EXPECT_EQ(vram[1], 0x34);
    EXPECT_EQ(vdp.write_address, 2);
    EXPECT_EQ(vdp.read_address, 0x0123);

    // A data byte between the halves of a pair is lost; the pair completes normally.
    vdp_write_control(0x10);
    vdp_write_data(0x99);
    vdp_write_control(0x40);
    EXPECT_EQ(vdp.write_address, 0x0010);
    EXPECT_EQ(vram[2], 0x00);
    vdp_write_data(0x55);
    EXPECT_EQ(vram[0x10], 0x55);

    // A status read cancels a half-written pair: the next byte is a first byte again.
    vdp_write_control(0x77);
    vdp_read_status();
    vdp_write_control(0x00);
    vdp_write_control(0x43);
    EXPECT_EQ(vdp.write_address, 0x0300);

    // Setting the read address reads nothing in advance; reads advance only the read counter.
    vram[0x1234] = 0xAB;
    vram[0x1235] = 0xCD;
    vdp_write_control(0x34);
    vdp_write_control(0x12);
    EXPECT_EQ(vdp.read_address, 0x1234);
    EXPECT_EQ(vdp_read_data(), 0xAB);
    EXPECT_EQ(vdp_read_data(), 0xCD);
    EXPECT_EQ(vdp.write_address, 0x0300);

    // Both counters wrap at 14 bits; a second byte of 0xC0 changes nothing.
    set_write_address(0x3FFF);
    vdp_write_data(1);
    vdp_write_data(2);
    EXPECT_EQ(vram[0x3FFF], 1);
    EXPECT_EQ(vram[0x0000], 2);
    vdp_write_control(0xFF);
    vdp_write_control(0x3F);
    vdp_read_data();
    EXPECT_EQ(vdp.read_address, 0x0000);
    vdp_write_control(0x55);
    vdp_write_control(0xC0);
    EXPECT_EQ(vdp.write_address, 0x0001);
    EXPECT_EQ(vdp.read_address, 0x0000);
    EXPECT_EQ(vdp.awaiting_first_byte, 1);
}

TEST_F(Vdp, RegistersModesAndTableBases) {
    // Register number from the low three bits.
    set_register(7, 0x4E);
    EXPECT_EQ(vdp.regs[7], 0x4E);
    EXPECT_EQ(vdp.text_colour, 4);
    EXPECT_EQ(vdp.backdrop_colour, 0x0E);
    vdp_write_control(0x21);
    vdp_write_control(0x8F);
    EXPECT_EQ(vdp.regs[7], 0x21);

    // R6 stores its masked value.
    set_register(6, 0x47);
    EXPECT_EQ(vdp.regs[6], 0x07);
    EXPECT_EQ(vdp.sprite_pattern_base, 0x3800);

    // After reset: text mode, whose colour and attribute masks are 0.
    EXPECT_EQ(vdp.mode, MODE_TEXT);
    set_register(3, 0xFF);
    set_register(5, 0xFF);
    EXPECT_EQ(vdp.colour_base, 0);
    EXPECT_EQ(vdp.sprite_attr_base, 0);

    // Graphics I: every base recomputed with the new masks.
    set_register(4, 0x03);
    set_register(1, 0x00);
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS1);
    EXPECT_EQ(vdp.pattern_base, 0x1800);
    EXPECT_EQ(vdp.colour_base, 0x3FC0);
    EXPECT_EQ(vdp.sprite_attr_base, 0x3F80);

    // Graphics II: pattern mask 0x3C moves 0x1800 to 0x0000, colour table to 0x2000.
    set_register(0, 0x02);
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
    EXPECT_EQ(vdp.pattern_base, 0x0000);
    EXPECT_EQ(vdp.colour_base, 0x2000);

    // Mixed mode bits, or R0 bit 2 or 3, leave the mode alone.
    set_register(1, 0x18);
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
    set_register(1, 0x00);
    set_register(0, 0x04);
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS2);
    set_register(0, 0x00);
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS1);
    set_register(0, 0x01); // bit 0 is not a mode bit
    EXPECT_EQ(vdp.mode, MODE_GRAPHICS1);
    set_register(1, 0x08);
    EXPECT_EQ(vdp.mode, MODE_MULTICOLOUR);
    EXPECT_EQ(vdp.colour_base, 0);

    // A base written under one mode keeps that masking until the mode changes.
    set_register(1, 0x00);
    set_register(0, 0x02);
    set_register(4, 0x07);
    EXPECT_EQ(vdp.pattern_base, 0x2000);
    set_register(0, 0x02); // same mode again: nothing recomputed
    EXPECT_EQ(vdp.pattern_base, 0x2000);

    // A base past the end of video memory wraps: name table 0x7F x 0x400.
    set_register(2, 0x7F);
    EXPECT_EQ(vdp.name_base, 0x3C00);
}

TEST_F(Vdp, StatusAndInterruptDecision) {
    EXPECT_EQ(vdp.status, 0x9F);
    set_register(1, 0x40); // graphics I, interrupt off
    vram[0] = 0xD0;        // no sprites: the end of the list, entry 0, is the last looked at
    EXPECT_FALSE(vdp_frame_end());
    EXPECT_EQ(vdp_read_status(), 0x80);
    EXPECT_EQ(vdp_read_status(), 0x00);
    EXPECT_EQ(vdp.awaiting_first_byte, 1);

    // Interrupt enable set later: only a frame end raises the interrupt.
    set_register(1, 0x60);
    EXPECT_TRUE(vdp_frame_end());
    // A frame that ends inside a control pair raises none, and none is kept for later.
    vdp_write_control(0x00);
    EXPECT_FALSE(vdp_frame_end());
    vdp_write_control(0x40);
    EXPECT_TRUE(vdp_frame_end());

    // Text mode does not touch the sprite bits.
    vdp.status = 0x45;
    set_register(1, 0x50);
    EXPECT_EQ(vdp.mode, MODE_TEXT);
    vdp_frame_end();
    EXPECT_EQ(vdp.status, 0xC5);
    EXPECT_EQ(vdp_read_status(), 0xC5);
    EXPECT_EQ(vdp.status, 0x45);

    // In a graphics mode a collision shows as bit 5; the list ends at entry 2.
    set_register(1, 0x40);
    // Attribute and sprite pattern tables both at 0: pattern 0 is the attribute bytes
    // themselves, and its rows overlap when shifted by the 2 columns between the sprites.
    poke(0, {10, 10, 0, 0x0F, 10, 12, 0, 0x0F, 0xD0});
    vdp_frame_end();
    EXPECT_EQ(vdp.status, 0xA2);
}

} // namespace
