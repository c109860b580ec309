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
