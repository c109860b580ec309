// The port map, decoded by the top three bits of the port alone (a 32-port block behaves as
// one), and the controllers. Controller words keep the console's polarity: 0 = pressed.
#include "machine/ports.h"
#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/record.h"
#include "platform/platform.h"
#include "sound/psg.h"
#include "video/vdp.h"

uint8_t controller_mode = 0;
uint16_t controller_words[2] = {0xFFFF, 0xFFFF};

const uint8_t keypad_codes[16] = {0x0A, 0x0D, 0x07, 0x0C, 0x02, 0x03, 0x0E, 0x05,
                                  0x01, 0x0B, 0x06, 0x09, 0x08, 0x04, 0x0F, 0x0F};

namespace {

// Controller word bits.
constexpr uint16_t PAD_KEY_MASK = 0x000F;
constexpr uint16_t PAD_KEYPAD_FIRE = 0x0040;
constexpr uint16_t PAD_UP = 0x0100;
constexpr uint16_t PAD_RIGHT = 0x0200;
constexpr uint16_t PAD_DOWN = 0x0400;
constexpr uint16_t PAD_LEFT = 0x0800;
constexpr uint16_t PAD_JOYSTICK_FIRE = 0x4000;
// The highest keypad index with a key of its own ('#').
constexpr uint8_t KEYPAD_HASH = 11;

uint8_t read_controller(uint16_t w) {
    uint32_t v = controller_mode ? uint32_t(w >> 8) : uint32_t(keypad_codes[w & PAD_KEY_MASK] | (w & 0xF0));
    return uint8_t(0x30 | (v & 0x4F));
}

// One controller's word from a button word (read_pad's layout) and a keypad key.
uint16_t controller_word(uint16_t b, uint8_t key) {
    uint16_t w = 0xFFFF;
    // A key of a PC's keypad wins; otherwise the two shoulder buttons stand for keys 0 and 1.
    if (key <= KEYPAD_HASH)
        w = uint16_t((w & ~PAD_KEY_MASK) | key);
    else if (b & BTN_L)
        w = (w & ~PAD_KEY_MASK) | 0;
    else if (b & BTN_R)
        w = (w & ~PAD_KEY_MASK) | 1;
    if (b & BTN_LEFT)
        w &= ~PAD_LEFT;
    else if (b & BTN_RIGHT)
        w &= ~PAD_RIGHT;
    if (b & BTN_UP)
        w &= ~PAD_UP;
    else if (b & BTN_DOWN)
        w &= ~PAD_DOWN;
    if (b & BTN_B) w &= ~PAD_KEYPAD_FIRE;
    if (b & BTN_A) w &= ~PAD_JOYSTICK_FIRE;
    return w;
}

// The video chip's data port: the even ports of the 0xA0-0xBF block.
inline bool video_data_port(uint16_t port) { return (port & 0xE1) == 0xA0; }

} // namespace

uint8_t cpu_in(uint16_t port) {
    switch (port & 0xE0) {
    case 0xA0: return (port & 1) ? vdp_read_status() : vdp_read_data();
    case 0xE0: return read_controller(controller_words[(port >> 1) & 1]);
    default: return 0xFF;
    }
}

void cpu_out(uint16_t port, uint8_t value) {
    // Video memory data first, on a path of its own: block copies into video memory are most of
    // the traffic, and this way they skip the register saving that the other ports need.
    if (video_data_port(port)) return vdp_write_data(value);
    switch (port & 0xE0) {
    case 0xA0: vdp_write_control(value); break;
    case 0xE0: psg_write(&psg, value); break;
    case 0x80: controller_mode = 0; break;
    case 0xC0: controller_mode = 1; break;
    default: break;
    }
}

void cpu_out_run(uint16_t port, uint16_t address, int step, uint32_t count) {
    if (video_data_port(port)) return vdp_write_data_run(cpu_memory, address, step, count);
    cpu_out_each(port, address, step, count);
}

void poll_controllers() {
    uint16_t b = read_pad();
    controller_words[0] = controller_word(b, read_keypad(0));
    // Only the first player's SELECT leaves the game.
    controller_words[1] = controller_word(read_second_pad(), read_keypad(1));
    if (b & BTN_SELECT) quit_request = 1;
}

void ports_save(RecordWriter* w) {
    record_u8(w, controller_mode);
    record_u16(w, controller_words[0]);
    record_u16(w, controller_words[1]);
}

bool ports_load(RecordReader* r, bool commit) {
    uint8_t mode = read_u8_upto(r, 1);
    uint16_t first = read_u16(r), second = read_u16(r);
    if (r->ok && commit) {
        controller_mode = mode;
        controller_words[0] = first;
        controller_words[1] = second;
    }
    return r->ok;
}
