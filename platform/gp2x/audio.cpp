// The handheld's sound: the OSS device's format and fragments, the mixer device's volume, and the
// audio thread, which fills one ring chunk through audio_fill and writes an earlier one to
// /dev/dsp each pass; the blocking write paces it to the device. A chunk waits seven passes in
// the ring before it is written, so its length is held to what keeps that wait within about
// 50 ms of the emulation, whatever fragment size the device reports.
//
// The thread and the main thread share the pause flag, the stop word and the count of paused
// looks. The stop word is relaxed: the thread only has to see it eventually. The pause flag and
// the look count are acquired and released (shared_load, shared_store), so that when
// audio_wait_paused sees the count move, the thread has seen the flag and every fill before it
// has finished.
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/system.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Fragment sizes outside this range are not believed (the ring's header keeps the fragment size
// in a 16-bit word); the requested 128 bytes stands in for them.
constexpr int32_t MIN_FRAGMENT = 16;
constexpr int32_t MAX_FRAGMENT = 32768;
constexpr int32_t REQUESTED_FRAGMENT = 128;
// The longest chunk: 256 stereo frames (5.8 ms at 44100 Hz), the chunk of the requested fragment
// size, so that the seven passes a chunk waits in the ring come to 40.6 ms.
constexpr uint32_t MAX_CHUNK_BYTES = 1024;
constexpr uint32_t PAUSED_LOOK_US = 1000;
// How long shut-down gives the thread to leave: a write to a working device returns within one
// chunk; one that has not returned by then may never return.
constexpr uint32_t STOP_WAIT_US = 1000000;

bool usable(int32_t handle) { return handle > 0; }

void* audio_thread_main(void*) {
    PlatformState& p = platform_state;
    AudioRing* ring = p.audio_ring;
    uint8_t* data = reinterpret_cast<uint8_t*>(ring) + AUDIO_RING_HEADER_BYTES;
    const uint32_t chunk = ring->chunk;
    const uint32_t end = AUDIO_RING_POSITIONS * chunk;
    const int32_t dsp = p.handles[DEV_DSP];
    uint32_t play = chunk, fill = 0; // positions in 16-bit units
    for (;;) {
        if (p.audio_stop.load(std::memory_order_relaxed) != 0) return nullptr;
        if (shared_load(p.audio_paused) != 0) {
            shared_store(p.paused_looks, p.paused_looks.load(std::memory_order_relaxed) + 1);
            sys_sleep_us(PAUSED_LOOK_US);
            continue;
        }
        audio_fill(nullptr, data + 2 * fill, p.audio_fill_frames);
        sys_write(dsp, data + 2 * play, chunk);
        play += chunk;
        fill += chunk;
        if (play == end) play = 0;
        if (fill == end) fill = 0;
    }
}

} // namespace

void audio_device_setup(int32_t sample_rate, int32_t sample_bits, int32_t stereo, bool first_start) {
    PlatformState& p = platform_state;
    int32_t dsp = p.handles[DEV_DSP];
    if (!usable(dsp)) return;
    int32_t value = sample_rate;
    sys_ioctl(dsp, SNDCTL_DSP_SPEED, &value);
    value = sample_bits;
    sys_ioctl(dsp, SNDCTL_DSP_SETFMT, &value);
    value = stereo;
    sys_ioctl(dsp, SNDCTL_DSP_STEREO, &value);
    if (!first_start) return;
    value = AUDIO_FRAGMENTS;
    sys_ioctl(dsp, SNDCTL_DSP_SETFRAGMENT, &value);
    AudioBufferInfo space{0, 0, REQUESTED_FRAGMENT, 0};
    sys_ioctl(dsp, SNDCTL_DSP_GETOSPACE, &space);
    int32_t fragment = space.fragsize;
    if (fragment < MIN_FRAGMENT || fragment > MAX_FRAGMENT) fragment = REQUESTED_FRAGMENT;
    // Bytes per written chunk: the fragment size times the frame size the arguments describe
    // (8 for the program's stereo value 2 at 16 bits), kept to whole four-byte frames and to the
    // longest chunk.
    int32_t shift = std::clamp<int32_t>(stereo + (sample_bits == 16 ? 1 : 0), 2, 3);
    uint32_t chunk = std::min(uint32_t(fragment) << shift, MAX_CHUNK_BYTES);
    // Zeroed, so that the chunks written before their first fill are silence.
    p.audio_ring = static_cast<AudioRing*>(std::calloc(chunk * 16 + 64, 1));
    if (!p.audio_ring) return;
    p.audio_ring->count = uint16_t(fragment);
    p.audio_ring->chunk = uint16_t(chunk);
    // audio_fill renders stereo frames of four bytes: a chunk's worth of them, so that every byte
    // written was rendered.
    p.audio_fill_frames = chunk / 4;
    p.audio_thread = sys_thread_start(audio_thread_main, nullptr);
}

void audio_device_volume(uint32_t word) {
    int32_t mixer = platform_state.handles[DEV_MIXER];
    if (!usable(mixer)) return;
    int32_t value = int32_t(word);
    sys_ioctl(mixer, SOUND_MIXER_WRITE_PCM, &value);
}

bool audio_thread_stop() {
    PlatformState& p = platform_state;
    if (p.audio_thread == 0) return true;
    shared_store(p.audio_paused, int32_t(1));
    p.audio_stop.store(1, std::memory_order_relaxed);
    if (!sys_thread_wait(p.audio_thread, STOP_WAIT_US)) return false;
    p.audio_thread = 0;
    return true;
}

void audio_set_paused(int32_t flag) { shared_store(platform_state.audio_paused, flag); }

void audio_wait_paused() {
    PlatformState& p = platform_state;
    if (p.audio_thread == 0 || shared_load(p.audio_paused) == 0) return;
    uint32_t seen = shared_load(p.paused_looks);
    while (shared_load(p.paused_looks) == seen && p.audio_stop.load(std::memory_order_relaxed) == 0)
        sys_sleep_us(PAUSED_LOOK_US / 2);
}

// Percentages; 80 % of each goes to the mixer device, b in the low byte (the left side) and a in
// the high byte (the right side).
void audio_set_volume(int32_t a, int32_t b) {
    auto scaled = [](int32_t percent) { return uint32_t(std::clamp<int32_t>(percent, 0, 100) * 80 / 100); };
    audio_device_volume(scaled(b) | (scaled(a) << 8));
}
