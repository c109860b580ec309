// A video chip on memory of the test's own, driven by direct calls: exactly 16 KB of video
// memory (so that the address sanitizer catches any read outside it), a picture and a screen.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "video/vdp.h"

struct VdpFixture : ::testing::Test {
    std::vector<uint8_t> vram = std::vector<uint8_t>(VDP_VRAM_BYTES, 0);
    std::vector<uint8_t> picture = std::vector<uint8_t>(VDP_PICTURE_BYTES, 0xEE);
    void SetUp() override;
    void TearDown() override;

    static void set_register(uint8_t n, uint8_t value);
    static void set_write_address(uint16_t address);
    void poke(uint16_t address, std::initializer_list<uint8_t> bytes);
    // Picture byte at visible line L (or border row when negative / beyond 191) and column.
    uint8_t pixel(int row, int column) const {
        return picture[size_t(row) * VDP_PICTURE_WIDTH + size_t(column)];
    }
    void render_frame() const;
};
