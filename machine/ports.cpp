// The port map, decoded by the top three bits of the port alone (a 32-port block behaves as
// one), and the controllers. Controller words keep the console's polarity: 0 = pressed.
#include "machine/ports.h"
#include "cpu/z80.h"
#include "machine/driver.h"
#include "machine/memory.h"
#include "platform/platform.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "video/vdp.h"

uint8_t controller_mode = 0;
uint16_t controller_words[2] = {0xFFFF, 0xFFFF};
SpinnerState spinners;

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

// The Super Game Module's ports.
constexpr uint8_t SGM_AY_SELECT = 0x50;
constexpr uint8_t SGM_AY_WRITE = 0x51;
constexpr uint8_t SGM_AY_READ = 0x52;
constexpr uint8_t SGM_UPPER_PORT = 0x53; // bit 0 set: the 24 KB over 0x2000-0x7FFF
constexpr uint8_t SGM_BIOS_PORT = 0x7F;  // bit 1 clear: the 8 KB over the BIOS

uint8_t read_controller(int i) {
    uint16_t w = controller_words[i];
    if (!controller_mode) return uint8_t(0x30 | ((keypad_codes[w & PAD_KEY_MASK] | (w & 0xF0)) & 0x4F));
    uint8_t v = uint8_t(0x30 | ((w >> 8) & 0x4F));
    // The read that reports a step takes it: the game's handler reads both controllers to
    // find which one turned, and must not count the other's last step again.
    if (uint8_t step = spinners.pending[i]) {
        spinners.pending[i] = 0;
        v &= step == SPIN_RIGHT ? 0xCF : 0xEF;
    }
    return v;
}

void sgm_out(uint8_t port, uint8_t value) {
    switch (port) {
    case SGM_AY_SELECT: ay_select(&ay, value); break;
    case SGM_AY_WRITE: ay_write(&ay, value); break;
    case SGM_UPPER_PORT:
        sgm_map(uint8_t((sgm.mapped & ~SGM_UPPER_RAM) | ((value & 0x01) ? SGM_UPPER_RAM : 0)));
        break;
    case SGM_BIOS_PORT: sgm_map(uint8_t((sgm.mapped & ~SGM_BIOS_RAM) | ((value & 0x02) ? 0 : SGM_BIOS_RAM))); break;
    default: break;
    }
}

// The steps a platform reports for one frame, spread evenly over the next frame's lines.
void spinner_frame(int i, int32_t steps) {
    if (steps > SPINNER_MAX_STEPS) steps = SPINNER_MAX_STEPS;
    if (steps < -SPINNER_MAX_STEPS) steps = -SPINNER_MAX_STEPS;
    spinners.steps_left[i] = int8_t(steps);
    uint32_t n = uint32_t(steps < 0 ? -steps : steps);
    spinners.period[i] = n ? uint8_t(VDP_VISIBLE_LINES / n) : 0;
    spinners.countdown[i] = spinners.period[i];
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
    case 0xE0: return read_controller((port >> 1) & 1);
    case 0x40: return port == SGM_AY_READ ? ay_read(&ay) : 0xFF;
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
    case 0x40:
    case 0x60: sgm_out(uint8_t(port), value); break;
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
    spinner_frame(0, read_spinner(0));
    spinner_frame(1, read_spinner(1));
    spinners.turning = (spinners.steps_left[0] | spinners.steps_left[1]) != 0;
}

void spinners_reset() { spinners = SpinnerState{}; }

uint16_t spinners_line() {
    bool stepped = false;
    for (int i = 0; i < 2; ++i) {
        int8_t left = spinners.steps_left[i];
        if (left == 0 || --spinners.countdown[i] != 0) continue;
        spinners.pending[i] = left > 0 ? SPIN_RIGHT : SPIN_LEFT;
        spinners.steps_left[i] = int8_t(left > 0 ? left - 1 : left + 1);
        spinners.countdown[i] = spinners.period[i];
        stepped = true;
    }
    spinners.turning = (spinners.steps_left[0] | spinners.steps_left[1]) != 0;
    return stepped ? SPINNER_INTERRUPT : HOOK_NONE;
}
