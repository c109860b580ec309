// Band-limited steps: how both sound chips' edges reach the 44100 Hz output without aliasing.
// Every change of a channel's output (a square wave's edge, a noise shift, an envelope step, a
// new level) is a step at an exact time between two samples. blep_step spreads it over
// BLEP_TAPS samples as the differences of a low-passed step (a Kaiser-windowed sinc cut off at
// 18.5 kHz, whose stop band begins before 24 kHz, the lowest frequency that would fold back
// below 20 kHz); blep_finish then sums the differences into the output words. Sources that
// change faster than the samples (noise shifted over 44100 times a second) put their changes on
// the next sample boundary with blep_direct instead: noise stays noise, and it costs one add.
//
// The mixer (sound/mixer.cpp, sound/ay.cpp) owns one BlepBuffer and calls these on the audio
// thread; it holds no pointer, so the machine's state can be saved and restored byte for byte.
#pragma once
#include <array>
#include <cstdint>

constexpr uint32_t BLEP_TAPS = 12;       // samples one step is spread over
constexpr uint32_t BLEP_PHASES = 256;    // places a step can take between two samples
constexpr int32_t BLEP_UNIT_BITS = 15;   // the taps of a step of 1 add up to 1 << 15
constexpr uint32_t BLEP_MAX_SAMPLES = 2048; // most samples one fill renders

static_assert(BLEP_TAPS % 4 == 0, "blep_step adds four taps a pass");

// Times are 16.16 fixed-point samples from the start of the current fill.
constexpr uint32_t BLEP_SAMPLE = 1u << 16;

struct BlepBuffer {
    // Differences between neighbouring output samples, in 1 << BLEP_UNIT_BITS units: the fill's
    // samples and the taps that reach beyond its end (they open the next fill).
    int32_t delta[BLEP_MAX_SAMPLES + BLEP_TAPS];
    // The running sum, the last output sample made in the same units, plus half a unit of the
    // output words, so that a shift rounds it (blep_reset puts the half there).
    int32_t sum;
};

// One row of taps per place between two samples; each row adds up to exactly 1 << 15, so that
// however many steps are added, the running sum ends at their exact total and never drifts.
extern const std::array<std::array<int16_t, BLEP_TAPS>, BLEP_PHASES> blep_kernel;

// A step of `delta` (output units) at `time`, which lies within the fill being rendered.
inline void blep_step(BlepBuffer* b, uint32_t time, int32_t delta) {
    uint32_t place = (time + (BLEP_SAMPLE / BLEP_PHASES / 2)) >> 8; // to the nearest phase
    int32_t* d = b->delta + (place >> 8);
    const int16_t* k = blep_kernel[place & (BLEP_PHASES - 1)].data();
    const int16_t* end = k + BLEP_TAPS;
    // Four taps a pass, not unrolled further: the handheld's compiler otherwise loads every tap
    // first and spills them to the stack.
#pragma GCC unroll 1
    do {
        int32_t k0 = k[0], k1 = k[1], k2 = k[2], k3 = k[3];
        d[0] += delta * k0;
        d[1] += delta * k1;
        d[2] += delta * k2;
        d[3] += delta * k3;
        d += 4;
        k += 4;
    } while (k != end);
}

// The first boundary between samples at or after `time`: where the changes of sources faster
// than the samples are put.
inline uint32_t blep_boundary_after(uint32_t time) { return (time + BLEP_SAMPLE - 1) >> 16; }

// A step on the boundary before sample `sample` (time sample << 16), not band-limited, placed where
// the middle of a band-limited step at that time would be.
inline void blep_direct(BlepBuffer* b, uint32_t sample, int32_t delta) {
    b->delta[sample + BLEP_TAPS / 2 - 1] += delta * (1 << BLEP_UNIT_BITS);
}

// The output word of a running sum: rounded, and clamped to the 16-bit range (one comparison
// while it is inside).
inline int16_t blep_word(int32_t sum) {
    int32_t v = sum >> BLEP_UNIT_BITS;
    if (uint32_t(v + 32768) > 65535u) v = v < 0 ? -32768 : 32767;
    return int16_t(v);
}

// Sums `count` samples into output words and carries the taps beyond them over to the next fill.
void blep_finish(BlepBuffer* b, int16_t* out, uint32_t count);
// The same, each word written twice (both sides of a stereo frame), low byte first.
void blep_finish_stereo(BlepBuffer* b, uint8_t* out, uint32_t count);

void blep_reset(BlepBuffer* b);
constexpr int32_t BLEP_SUM_START = 1 << (BLEP_UNIT_BITS - 1);
