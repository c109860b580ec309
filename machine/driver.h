// The scanline and frame driver: cpu_hook runs at the end of every processor slice, makes each
// slice one scanline, and at the frame end reads the controls, delivers the frame's sound,
// presents the picture (on drawn frames), waits for the frame's time and decides on the video
// interrupt or the end of the game. The processor core calls cpu_hook and cpu_patch; the loader
// resets scanline and quit_request per game.
#pragma once
#include <cstdint>

struct Z80State;

// The processor state of the running game (owned by the loader).
extern Z80State cpu_state;

extern int32_t cycles_per_line;  // 215
extern int32_t cycles_per_frame; // 60000
extern uint8_t frame_skip;       // one frame in frame_skip is drawn and presented, unless the
                                 // back end skips automatically (platform_auto_frame_skip)
extern uint8_t scanline;         // 0..191 visible, 192 = frame end
extern uint8_t skip_countdown;   // frames still to skip before the next drawn one
extern uint8_t quit_request;     // set when SELECT is seen; the game ends at that frame end
// The frame end's answer on the video interrupt, given to the processor when the hook returns;
// a state loaded at the frame end (machine/state.h) brings its own.
extern uint8_t frame_interrupt;

// The driver's part of the machine's state record: its place in the frame and the pacing. The
// record is always made at a frame end, from inside it (platform_frame_end); driver_load checks
// that it was, and puts its part in place only when `commit` is set.
struct RecordWriter;
struct RecordReader;
void driver_save(RecordWriter* w);
bool driver_load(RecordReader* r, bool commit);

// For a game that has not run yet and has just had a state loaded: finishes the frame end the
// state stands at, as the processor's run loop would when the hook returns (the next slice's
// length and the video interrupt).
void driver_enter_loaded_frame(Z80State* s);
