#include "tests/machine/machine_fixture.h"
#include "frontend/surface.h"
#include "platform/platform.h"
#include "video/vdp.h"

std::vector<uint8_t> spinning_bios(size_t size) {
    std::vector<uint8_t> b(size, 0xFF);
    if (size >= 2) {
        b[0] = 0x18; // JR -2
        b[1] = 0xFE;
    }
    return b;
}

std::vector<uint8_t> test_cartridge(size_t size, uint8_t first, uint8_t second) {
    std::vector<uint8_t> c(size);
    for (size_t i = 0; i < size; ++i) c[i] = uint8_t(i + (i >> 8));
    if (size >= 2) {
        c[0] = first;
        c[1] = second;
    }
    if (size >= 0x30) {
        c[0x0A] = 0x24; // start address 0x8024
        c[0x0B] = 0x80;
        c[0x24] = 0x18; // JR -2
        c[0x25] = 0xFE;
    }
    return c;
}

void start_headless_with_select(const std::string& card, uint32_t select_ms, uint16_t held) {
    HeadlessConfig c = test_config(card);
    c.record_audio = true;
    c.presses.push_back({BTN_SELECT, select_ms, 0xFFFFFFFFu});
    if (held) c.presses.push_back({held, 0, 0xFFFFFFFFu});
    headless_reset(c);
    // What the program's start-up provides to a game: the screen and the picture buffer.
    platform_init(1000, 16, 44100, 16, 2, 60, 1);
    screen_surface = Surface{display_drawing_pointer(), 0, 16, 320, 320, 240};
    display_flip(0);
    static std::vector<uint8_t> picture(VDP_PICTURE_BYTES);
    vdp_picture = picture.data();
}

bool heard_from(size_t from) {
    const std::vector<int16_t>& a = headless_audio();
    for (size_t i = from + 1; i < a.size(); ++i)
        if (a[i] != a[from]) return true;
    return false;
}
