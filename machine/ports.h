// The console's I/O ports as the processor sees them (cpu_in and cpu_out, declared with the
// processor) and the two controllers behind ports 0xE0-0xFF, read through one mode latch.
// poll_controllers rebuilds both controllers at every frame end: controller 1 from the
// handheld's buttons (and a PC's keypad keys), controller 2 from a PC's second player (idle on
// the handheld). The frame driver calls it, the loader resets the latch and the words.
//
// Each controller also has a spinner (the roller controller's). The steps a platform reports
// for a frame are spread evenly over the next frame's lines: each raises the processor's
// maskable interrupt and stays pending, for the game to read in joystick mode (bit 4 clear,
// bit 5 the direction), until that controller is read or its next step comes. The Super Game
// Module's ports (0x50-0x53, 0x7F) are routed to its sound chip and its RAM.
#pragma once
#include <cstdint>

extern uint8_t controller_mode;      // 0 = keypad, 1 = joystick
extern uint16_t controller_words[2]; // active low; 0xFFFF = nothing pressed

// Keypad index (bits 0..3 of a controller word) -> the code the console reads in keypad mode.
extern const uint8_t keypad_codes[16];

void poll_controllers();

// The spinners' state: steps still to come this frame (positive to the right), lines between
// two of them and to the next, and the step each controller's port reports.
constexpr uint8_t SPIN_RIGHT = 1; // counts up: bit 5 reads 0
constexpr uint8_t SPIN_LEFT = 2;  // counts down: bit 5 reads 1
// At most this many steps a frame per spinner; a platform's surplus is dropped.
constexpr int32_t SPINNER_MAX_STEPS = 24;
// What the frame driver returns for a step: the maskable interrupt as a restart to 0x0038.
constexpr uint16_t SPINNER_INTERRUPT = 0x0038;

struct SpinnerState {
    int8_t steps_left[2];
    uint8_t period[2];
    uint8_t countdown[2];
    uint8_t pending[2]; // 0, SPIN_RIGHT or SPIN_LEFT
    uint8_t turning;    // a step is still to come this frame
};

extern SpinnerState spinners;

void spinners_reset();
// One visible line of the frame: HOOK_NONE, or SPINNER_INTERRUPT when a spinner stepped.
uint16_t spinners_line();
