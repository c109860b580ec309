// The front end's two ways of waiting for the user, built on the platform's buttons and clock:
// waiting for a press (with or without a time limit, each press counted once) and waiting until
// every control is let go. Also owns pending_moves, the cartridge manager's queue of cursor moves,
// which a press of L, R, A, B, X or Y cancels. Called by the welcome screen, the message boxes and
// the cartridge manager.
#pragma once
#include <cstdint>

// The controls the front end looks at: the four straight directions and the eight buttons.
constexpr uint16_t UI_WATCHED = 0xFF55;
// L, R, A, B, X and Y: a press of any of them cancels the queued moves.
constexpr uint16_t UI_CANCELS_MOVES = 0xFC00;

// Queued cursor moves of the cartridge manager; negative = upwards.
extern int16_t pending_moves;

// Waits for a press and returns the pressed set (masked with UI_WATCHED), then waits for its
// release. With a timeout (milliseconds, 0 = none) it returns 0 when nothing was pressed in
// time, and the release wait ends at the same time limit.
uint16_t ui_wait_buttons(uint32_t timeout);

// Returns once no watched control is held.
void ui_wait_release();
