// The machine's clock: one processor slice per scanline, 192 visible lines and one long
// frame-end slice standing for the vertical blank. Emulated time is counted only in processor
// cycles; the only link to real time is the wait at every frame end.
#include "machine/driver.h"
#include "cpu/z80.h"
#include "machine/record.h"
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
uint8_t frame_interrupt = 0;

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
    frame_interrupt = vdp_frame_end() ? 1 : 0;
    // The back end may save or load the machine's state here: the answer is read afterwards.
    platform_frame_end();
    if (quit_request) return HOOK_STOP;
    return frame_interrupt ? HOOK_NMI : HOOK_NONE;
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

void driver_save(RecordWriter* w) {
    record_u8(w, scanline);
    record_u8(w, skip_countdown);
    record_u8(w, frame_interrupt);
    record_u32(w, last_present_ms);
    record_u32(w, last_present_sixtieths);
}

bool driver_load(RecordReader* r, bool commit) {
    read_ranged(r, read_u8(r), FRAME_END_LINE, FRAME_END_LINE);
    uint8_t countdown = read_u8(r);
    uint8_t interrupt = read_u8_upto(r, 1);
    uint32_t present_ms = read_u32(r);
    uint32_t sixtieths = read_ranged(r, read_u32(r), 0, 59);
    if (!r->ok || !commit) return r->ok;
    scanline = FRAME_END_LINE;
    // A record of a program that skips more frames than this one keeps this one's skip.
    skip_countdown = countdown < frame_skip ? countdown : uint8_t(frame_skip > 0 ? frame_skip - 1 : 0);
    frame_interrupt = interrupt;
    last_present_ms = present_ms;
    last_present_sixtieths = sixtieths;
    return true;
}

void driver_enter_loaded_frame(Z80State* s) {
    s->cycles_left = s->cycle_period;
    if (frame_interrupt) cpu_interrupt(s, HOOK_NMI);
}
