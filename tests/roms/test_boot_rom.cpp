// The boot ROM as cartridges meet it: how the header starts a cartridge (at once, after the title
// screen, or never), the restart and video interrupt entries, the data words and the font, the
// silence routine at 0x1FD6, and calls into the ROM's unused space, which must come back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/memory.h"
#include "sound/psg.h"
#include "tests/roms/boot_console.h"
#include "video/vdp.h"

namespace {

// Where the probe cartridge leaves its findings (see tests/roms/cartridges/probe.asm).
constexpr uint16_t STARTS = 0x7000, ENTRY_SP = 0x7001, RETURNS = 0x7003, SILENCED = 0x7005, NMIS = 0x7006,
                   READY = 0x7008, RST_PTR = 0x700E, RST_LIST = 0x7010;
constexpr int TITLE_OFFSET = 0x24, TITLE_BYTES = 128;

uint16_t word_at(const std::vector<uint8_t>& image, size_t at) {
    return uint16_t(image[at] | image[at + 1] << 8);
}

std::vector<uint8_t> probe(uint8_t first = 0x55, uint8_t second = 0xAA) {
    std::vector<uint8_t> cart = test_cartridge_image("probe");
    cart[0] = first;
    cart[1] = second;
    return cart;
}

// Runs frames until the probe has set up its screen; false if it never does within `limit`.
bool run_until_ready(BootConsole& console, uint32_t limit = 400) {
    while (console.ram(READY) != 1 && console.frames < limit) console.frame();
    return console.ram(READY) == 1;
}

TEST(BootRom, DataWordsAndTheGeneratedFont) {
    std::vector<uint8_t> rom = boot_rom_image();
    ASSERT_EQ(rom.size(), 8192u);
    EXPECT_EQ(rom[0x0069], 60);
    uint16_t zero = word_at(rom, 0x006C), a = word_at(rom, 0x006A);
    EXPECT_EQ(a, zero + ('A' - '0') * 8);
    ASSERT_GE(zero, 128);
    ASSERT_LE(zero - 128 + 768, 0x2000);

    std::vector<uint8_t> font = generated_boot_font();
    ASSERT_EQ(font.size(), 768u);
    EXPECT_EQ(std::vector<uint8_t>(rom.begin() + (zero - 128), rom.begin() + (zero - 128 + 768)), font);
    // The committed source is what the generator writes now.
    std::string out =
        std::string(VELKORO_BUILD_DIR) + "/bootfontgen-check-" + std::to_string(getpid()) + ".asm";
    ASSERT_EQ(std::system((std::string(VELKORO_BOOTFONTGEN) + " asm " + out).c_str()), 0);
    std::vector<uint8_t> made = read_file(out);
    std::remove(out.c_str());
    EXPECT_EQ(made, read_file(std::string(VELKORO_TEST_SOURCE_DIR) + "/../roms/boot_font.asm"))
        << "roms/boot_font.asm is stale: run ninja velkoro-boot-font";

    // Every glyph but the space is drawn, no two alike, and all keep to columns 1..5, so that
    // the text mode's six-pixel cells show them whole.
    for (int c = 0; c < 96; ++c) {
        uint8_t ink = 0;
        for (int row = 0; row < 8; ++row) ink |= font[size_t(c) * 8 + size_t(row)];
        EXPECT_EQ(ink & 0x83, 0) << "glyph 0x" << std::hex << c + 0x20;
        EXPECT_EQ(ink != 0, c != 0) << "glyph 0x" << std::hex << c + 0x20;
        for (int d = 0; d < c; ++d)
            EXPECT_FALSE(std::equal(font.begin() + c * 8, font.begin() + c * 8 + 8, font.begin() + d * 8))
                << std::hex << "glyphs 0x" << c + 0x20 << " and 0x" << d + 0x20;
    }
}

TEST(BootRom, HeaderBytes55AAStartTheCartridgeAtOnce) {
    BootConsole console;
    ASSERT_TRUE(console.boot(boot_rom_image(), probe()));
    // Started within the first frame, once, on the ROM's stack.
    EXPECT_EQ(console.ram(STARTS), 0x00);
    EXPECT_EQ(console.ram_word(ENTRY_SP), 0x73B9);
    ASSERT_TRUE(run_until_ready(console));
    EXPECT_EQ(console.ram(STARTS), 0x00);
}

TEST(BootRom, RestartsAndTheVideoInterruptReachTheCartridgeSlots) {
    BootConsole console;
    ASSERT_TRUE(console.boot(boot_rom_image(), probe()));
    ASSERT_TRUE(run_until_ready(console));
    // RST 08h..38h reached the slots at 0x800C..0x801E in turn, and nothing else did.
    EXPECT_EQ(console.ram_word(RST_PTR), RST_LIST + 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(console.ram(uint16_t(RST_LIST + i)), i + 1) << "restart " << i;
    // With the interrupt enabled, every frame end calls the slot at 0x8021 once.
    uint16_t before = console.ram_word(NMIS);
    console.run(30);
    EXPECT_EQ(console.ram_word(NMIS), uint16_t(before + 30));
}

TEST(BootRom, CallsIntoUnusedSpaceReturnAndTheSilenceEntrySilences) {
    BootConsole console;
    ASSERT_TRUE(console.boot(boot_rom_image(), probe()));
    ASSERT_TRUE(run_until_ready(console));
    // The probe called every byte after the start-up code, between and after the restart
    // entries, before the silence routine, and from the end of the font to 0x1FFF (0x1FD6 and
    // its operand bytes included): each came straight back, and no restart was taken.
    std::vector<uint8_t> rom = boot_rom_image();
    uint32_t low = 1 + 6 * 5 + (0x65 - 0x3B + 1) + (0xC8 - 0x6E + 1);
    uint32_t high = 0x2000 - (word_at(rom, 0x006C) + 0x280);
    EXPECT_EQ(console.ram_word(RETURNS), low + high);
    EXPECT_EQ(console.ram_word(RST_PTR), RST_LIST + 7);
    // Then it turned the four channels on and called 0x1FD6, which came back with them off.
    EXPECT_EQ(console.ram(SILENCED), 1);
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(psg.volume[ch], 0) << "channel " << ch;
}

TEST(BootRom, CartridgeCopiesLegibleGlyphsThroughTheFontWords) {
    BootConsole console;
    ASSERT_TRUE(console.boot(boot_rom_image(), probe()));
    ASSERT_TRUE(run_until_ready(console));
    console.run(2);
    std::vector<uint8_t> font = generated_boot_font();
    ASSERT_EQ(font.size(), 768u);
    // Through 0x006C: all 96 characters; through 0x006A: the capitals.
    EXPECT_EQ(std::vector<uint8_t>(vdp.vram + 0x0100, vdp.vram + 0x0400), font);
    EXPECT_EQ(std::vector<uint8_t>(vdp.vram + 0x0400, vdp.vram + 0x0400 + 26 * 8),
              std::vector<uint8_t>(font.begin() + ('A' - 0x20) * 8, font.begin() + ('Z' + 1 - 0x20) * 8));
    EXPECT_EQ(compare_screen_with_golden("roms/golden/font.png"), "");
}

TEST(BootRom, HeaderBytesAA55ShowTheTitleForThreeSeconds) {
    BootConsole console;
    ASSERT_TRUE(console.boot(boot_rom_image(), probe(0xAA, 0x55)));
    console.run(59);
    EXPECT_EQ(console.ram(STARTS), 0xFF);
    EXPECT_EQ(compare_screen_with_golden("roms/golden/title.png"), "");
    while (console.ram(STARTS) == 0xFF && console.frames < 400) console.frame();
    // 180 frames of title, counted from the frame flag, and the start-up before it.
    EXPECT_GE(console.frames, 180u);
    EXPECT_LE(console.frames, 183u);
    EXPECT_EQ(console.ram(STARTS), 0x00);
    EXPECT_EQ(console.ram_word(ENTRY_SP), 0x73B9);
    EXPECT_EQ(vdp.regs[1] & 0x60, 0) << "display and interrupt off when the cartridge starts";
}

TEST(BootRom, TitleOfAnyBytesShowsOnlyCharactersAndStillStarts) {
    // Bytes of every value in the title area, '/' among them, some fields longer than a line.
    for (uint8_t step : {1, 7, 0}) {
        std::vector<uint8_t> cart = probe(0xAA, 0x55);
        for (int i = 0; i < TITLE_BYTES; ++i)
            cart[size_t(TITLE_OFFSET + i)] = uint8_t(step ? i * step + 0x80 : 0xFF);
        BootConsole console;
        ASSERT_TRUE(console.boot(boot_rom_image(), cart));
        console.run(59);
        // The rule (name 0x01), the white font (0x20..0x7F) and its yellow copy (0xA0..0xFF).
        for (int at = 0x1800; at < 0x1B00; ++at) {
            uint8_t name = vdp.vram[at];
            ASSERT_TRUE(name == 0x01 || (name >= 0x20 && name < 0x80) || name >= 0xA0)
                << "name 0x" << std::hex << int(name) << " at 0x" << at << ", step " << std::dec << int(step);
        }
        while (console.ram(STARTS) == 0xFF && console.frames < 400) console.frame();
        EXPECT_LE(console.frames, 183u) << "step " << int(step);
        EXPECT_EQ(console.ram(STARTS), 0x00) << "step " << int(step);
    }
}

TEST(BootRom, OtherHeaderBytesNeverReachTheCartridge) {
    const uint8_t headers[][2] = {{0x55, 0x55}, {0xAA, 0xAA}, {0x00, 0x00},
                                  {0xFF, 0xFF}, {0xAA, 0x56}, {0x54, 0xAA}};
    for (const auto& h : headers) {
        // The loader refuses such cartridges, so the header is changed after it: the console
        // then starts again from power-on with the same memory.
        BootConsole console;
        ASSERT_TRUE(console.boot(boot_rom_image(), probe()));
        cpu_memory[0x8000] = h[0];
        cpu_memory[0x8001] = h[1];
        for (uint8_t v : {0x90, 0xB0, 0xD0, 0xF0}) psg_write(&psg, v); // the ROM must silence these
        console.reset();
        console.run(240);
        EXPECT_EQ(console.ram(STARTS), 0xFF) << std::hex << int(h[0]) << " " << int(h[1]);
        EXPECT_LT(cpu_state.PC, 0x2000) << "the processor left the ROM";
        EXPECT_EQ(vdp.regs[1] & 0x60, 0) << "display and interrupt off";
        for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(psg.volume[ch], 0) << "channel " << ch;
    }
}

} // namespace
