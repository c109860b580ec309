// A whole console for the boot ROM and cartridge tests, run one frame at a time: the loader, the
// processor, the memory map, the ports, the video chip and the sound chip, with the controller
// words set by the test before every frame (controller 2 and the keypad included, which the
// headless buttons cannot reach).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

// The images the build makes: the boot ROM, the card's cartridges, this folder's test cartridges.
std::vector<uint8_t> boot_rom_image();
std::vector<uint8_t> test_cartridge_image(const std::string& name);

// The font the generator makes: 96 glyphs of 8 bytes for the characters 0x20..0x7F.
std::vector<uint8_t> generated_boot_font();

struct BootConsole {
    TempFolder card;
    std::vector<uint8_t> picture;
    uint8_t saved_frame_skip;
    uint32_t frames = 0; // frames run so far, the first one included

    BootConsole();
    ~BootConsole();
    BootConsole(const BootConsole&) = delete;
    BootConsole& operator=(const BootConsole&) = delete;

    // Loads `bios` and `cartridge` as the loader does and runs the first frame. False when the
    // loader refuses them.
    bool boot(const std::vector<uint8_t>& bios, const std::vector<uint8_t>& cartridge);
    // Runs one more frame, the controllers reading `pad1` and `pad2` (active low) throughout;
    // the video interrupt of the frame end before it is taken first when the chip raises it.
    void frame(uint16_t pad1 = 0xFFFF, uint16_t pad2 = 0xFFFF);
    void run(uint32_t n, uint16_t pad1 = 0xFFFF, uint16_t pad2 = 0xFFFF);
    // Power-on again with what is in memory now: RAM back to 0xFF, the processor reset.
    void reset();

    uint8_t ram(uint16_t address) const;
    uint16_t ram_word(uint16_t address) const;
};

// Controller words (active low) for the tests: a stick direction or fire button held, a key.
constexpr uint16_t PAD_NONE = 0xFFFF;
constexpr uint16_t PAD_UP = 0xFEFF, PAD_RIGHT = 0xFDFF, PAD_DOWN = 0xFBFF, PAD_LEFT = 0xF7FF;
constexpr uint16_t PAD_LEFT_FIRE = 0xBFFF;  // joystick-side button
constexpr uint16_t PAD_RIGHT_FIRE = 0xFFBF; // keypad-side button
// Keypad index k (0..9 digits, 10 '*', 11 '#') pressed.
constexpr uint16_t pad_key(int k) { return uint16_t(0xFFF0 | k); }
