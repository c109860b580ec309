// The front end's two ways of waiting for the user, built on the platform's buttons and clock:
// waiting for a press (with or without a time limit, each press counted once, a held direction
// repeated as lists expect) and waiting until every control is let go. Also owns pending_moves,
// the cartridge manager's queue of cursor moves, which a press of L, R, A, B, X or Y cancels.
// Called by the welcome screen, the message boxes and the cartridge manager.
#pragma once
#include <cstdint>

// The controls the front end looks at: the four straight directions and the eight buttons.
constexpr uint16_t UI_WATCHED = 0xFF55;
// The four straight directions: held alone, they repeat.
constexpr uint16_t UI_DIRECTIONS = 0x0055;
// L, R, A, B, X and Y: a press of any of them cancels the queued moves.
constexpr uint16_t UI_CANCELS_MOVES = 0xFC00;

// A direction held through timed waits is reported again after this delay, then at this rate
// (milliseconds).
constexpr uint32_t UI_REPEAT_DELAY_MS = 400;
constexpr uint32_t UI_REPEAT_INTERVAL_MS = 100;

// Queued cursor moves of the cartridge manager; negative = upwards.
extern int16_t pending_moves;

// Set by every ui_wait_buttons: true when the set it returned is a held direction repeated, not
// a fresh press.
extern bool ui_press_repeated;

// Waits for a press and returns the pressed set (masked with UI_WATCHED).
// Without a timeout (0) it then waits for the release. With a timeout (milliseconds) it returns
// 0 when nothing new was pressed in time and does not wait for the release: a control still held
// from an earlier wait is not pressed again until it has been let go, except that a direction
// held alone repeats after UI_REPEAT_DELAY_MS, every UI_REPEAT_INTERVAL_MS.
uint16_t ui_wait_buttons(uint32_t timeout);

// Returns once no watched control is held.
void ui_wait_release();
