// The machine's clock: one processor slice per scanline, 192 visible lines and one long
// frame-end slice standing for the vertical blank. Emulated time is counted only in processor
// cycles; the only link to real time is the wait at every frame end.
#include "machine/driver.h"
#include "cpu/z80.h"
#include "machine/ports.h"
#include "platform/platform.h"
#include "sound/ay.h"
#include "sound/psg.h"
#include "video/vdp.h"

int32_t cycles_per_line = 215;
int32_t cycles_per_frame = 60000;
uint8_t frame_skip = 2;
uint8_t scanline = 0;
uint8_t skip_countdown = 0;
uint8_t quit_request = 0;

namespace {

constexpr uint8_t FRAME_END_LINE = VDP_VISIBLE_LINES;

uint16_t frame_end(Z80State* s) {
    s->cycle_period = cycles_per_frame - VDP_VISIBLE_LINES * cycles_per_line;
    poll_controllers();
    psg_flush(&psg, PSG_FLUSH_ONLY);
    ay_flush(&ay);
    // The countdown changes only here, so a frame is either drawn whole and presented at its
    // own end, or not drawn at all. Frame skip saves drawing only: every frame, drawn or not,
    // waits for its own time after its sound went out, so no frame's sound is lost.
    bool automatic = platform_auto_frame_skip() != 0;
    bool drawn = skip_countdown == 0;
    if (!drawn) {
        --skip_countdown;
    } else {
        skip_countdown = automatic ? 0 : uint8_t(frame_skip - 1);
        present_frame();
    }
    uint32_t late_ms = pace_frame();
    // A drawn frame that ended late buys the time back by not drawing the next one, or the next
    // two when it lost more than a whole frame; never more, so that the picture still moves at
    // least every third frame however slow the drawing.
    if (automatic && drawn && late_ms != 0) skip_countdown = late_ms * 60 > 1000 ? 2 : 1;
    bool interrupt = vdp_frame_end();
    platform_frame_end();
    if (quit_request) return HOOK_STOP;
    return interrupt ? HOOK_NMI : HOOK_NONE;
}

} // namespace

uint16_t cpu_hook(Z80State* s) {
    scanline = scanline >= FRAME_END_LINE ? 0 : uint8_t(scanline + 1);
    if (scanline == FRAME_END_LINE) return frame_end(s);
    if (skip_countdown == 0) vdp_render_line(scanline);
    s->cycle_period = cycles_per_line;
    return spinners.turning ? spinners_line() : HOOK_NONE;
}

// The trap opcode has no use on this console.
void cpu_patch(Z80State*) {}
