// The button word, built the same way whatever the back end reads its controls from.
#include "platform/platform.h"

uint32_t buttons_from_ports(uint16_t stick_port, uint16_t button_port, uint16_t extra_port) {
    uint32_t d = stick_port & 0xFF;
    // A lone diagonal becomes its two straight directions, so that games and menus that only
    // look at UP, DOWN, LEFT and RIGHT still see it; any other pattern is left alone.
    switch (d) {
    case 0xFD: d = 0xFA; break; // UP-LEFT    -> UP + LEFT
    case 0xF7: d = 0xEB; break; // DOWN-LEFT  -> LEFT + DOWN
    case 0xDF: d = 0xAF; break; // DOWN-RIGHT -> DOWN + RIGHT
    case 0x7F: d = 0xBE; break; // UP-RIGHT   -> UP + RIGHT
    default: break;
    }
    return ~(d | (button_port & 0xFF00u) | (uint32_t(extra_port) << 16));
}

uint32_t buttons_from_held(uint16_t held) {
    return buttons_from_ports(uint16_t(~held & 0xFF), uint16_t(~held & 0xFF00), 0xFFFF);
}

uint16_t read_pad() { return uint16_t(read_buttons() & 0xFFFF); }
