// The memory map's write side: mirrored RAM, read-only everything else.
#include <gtest/gtest.h>

#include <vector>

#include "machine/memory.h"

namespace {

struct MemoryMap : ::testing::Test {
    std::vector<uint8_t> image = std::vector<uint8_t>(CPU_MEMORY_BYTES, 0xFF);
    void SetUp() override { cpu_memory = image.data(); }
    void TearDown() override { cpu_memory = nullptr; }
};

TEST_F(MemoryMap, RamWriteReachesAllEightWindows) {
    cpu_write(0x7FFF, 0x5A);
    for (uint16_t a : {0x63FF, 0x67FF, 0x6BFF, 0x6FFF, 0x73FF, 0x77FF, 0x7BFF, 0x7FFF})
        EXPECT_EQ(image[a], 0x5A) << a;
    cpu_write(0x6000, 0x11);
    cpu_write(0x6401, 0x22);
    for (unsigned w = 0; w < 8; ++w) {
        EXPECT_EQ(image[0x6000 + w * 0x400], 0x11);
        EXPECT_EQ(image[0x6001 + w * 0x400], 0x22);
    }
    // Nothing outside the written offsets moved.
    EXPECT_EQ(image[0x6002], 0xFF);
    EXPECT_EQ(image[0x63FE], 0xFF);
}

TEST_F(MemoryMap, WritesOutsideRamChangeNothing) {
    image[0x0000] = 0x31;
    image[0x1FFF] = 0x32;
    std::vector<uint8_t> before = image;
    for (uint32_t a : {0x0000u, 0x1FFFu, 0x2000u, 0x5FFFu, 0x8000u, 0xA000u, 0xFFFFu})
        cpu_write(uint16_t(a), 0x00);
    EXPECT_EQ(image, before);
}

TEST_F(MemoryMap, EveryRamOffsetStaysMirrored) {
    for (uint32_t a = RAM_START; a <= RAM_END; a += 7) cpu_write(uint16_t(a), uint8_t(a * 13));
    for (uint32_t k = 0; k < 0x400; ++k)
        for (unsigned w = 1; w < 8; ++w) ASSERT_EQ(image[0x6000 + k], image[0x6000 + w * 0x400 + k]) << k;
}

} // namespace
