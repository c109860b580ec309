// The console's I/O ports as the processor sees them (cpu_in and cpu_out, declared with the
// processor) and the two controllers behind ports 0xE0-0xFF, read through one mode latch.
// poll_controllers rebuilds both controllers at every frame end: controller 1 from the
// handheld's buttons (and a PC's keypad keys), controller 2 from a PC's second player (idle on
// the handheld). The frame driver calls it, the loader resets the latch and the words.
#pragma once
#include <cstdint>

extern uint8_t controller_mode;      // 0 = keypad, 1 = joystick
extern uint16_t controller_words[2]; // active low; 0xFFFF = nothing pressed

// Keypad index (bits 0..3 of a controller word) -> the code the console reads in keypad mode.
extern const uint8_t keypad_codes[16];

void poll_controllers();

// The controllers' part of the machine's state record (machine/state.h): the mode latch and the
// words the last frame end made. A load puts its part in place only when `commit` is set.
struct RecordWriter;
struct RecordReader;
void ports_save(RecordWriter* w);
bool ports_load(RecordReader* r, bool commit);
