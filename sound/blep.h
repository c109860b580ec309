// Band-limited steps: how both sound chips' edges reach the 44100 Hz output without aliasing.
// Every change of a channel's output (a square wave's edge, a noise shift, an envelope step, a
// new level) is a step at an exact time between two samples. blep_step spreads it over
// BLEP_TAPS samples as the differences of a low-passed step (a Kaiser-windowed sinc, cut off
// below 20 kHz and some 50 dB down from 24 kHz, where anything above would fold back into the
// audible band); blep_finish then sums the differences into the output words. Sources that
// change faster than the samples (noise shifted over 44100 times a second) put their changes on
// the next sample boundary with blep_direct instead: noise stays noise, and it costs one add.
//
// The mixer (sound/mixer.cpp, sound/ay.cpp) owns one BlepBuffer and calls these on the audio
// thread; it holds no pointer, so the machine's state can be saved and restored byte for byte.
#pragma once
#include <array>
#include <cstdint>

constexpr uint32_t BLEP_TAPS = 16;       // samples one step is spread over
constexpr uint32_t BLEP_PHASES = 256;    // places a step can take between two samples
constexpr int32_t BLEP_UNIT_BITS = 15;   // the taps of a step of 1 add up to 1 << 15
constexpr uint32_t BLEP_MAX_SAMPLES = 2048; // most samples one fill renders

// Times are 16.16 fixed-point samples from the start of the current fill.
constexpr uint32_t BLEP_SAMPLE = 1u << 16;

struct BlepBuffer {
    // Differences between neighbouring output samples, in 1 << BLEP_UNIT_BITS units: the fill's
    // samples and the taps that reach beyond its end (they open the next fill).
    int32_t delta[BLEP_MAX_SAMPLES + BLEP_TAPS];
    int32_t sum; // the running sum: the last output sample made, in the same units
};

// One row of taps per place between two samples; each row adds up to exactly 1 << 15, so that
// however many steps are added, the running sum ends at their exact total and never drifts.
extern const std::array<std::array<int16_t, BLEP_TAPS>, BLEP_PHASES> blep_kernel;

// A step of `delta` (output units) at `time`, which lies within the fill being rendered.
inline void blep_step(BlepBuffer* b, uint32_t time, int32_t delta) {
    uint32_t place = (time + (BLEP_SAMPLE / BLEP_PHASES / 2)) >> 8; // to the nearest phase
    int32_t* d = b->delta + (place >> 8);
    const int16_t* k = blep_kernel[place & (BLEP_PHASES - 1)].data();
    for (uint32_t i = 0; i < BLEP_TAPS; ++i) d[i] += delta * k[i];
}

// A step on the boundary before sample `sample` (time sample << 16), not band-limited, placed where
// the middle of a band-limited step at that time would be.
inline void blep_direct(BlepBuffer* b, uint32_t sample, int32_t delta) {
    b->delta[sample + BLEP_TAPS / 2 - 1] += delta * (1 << BLEP_UNIT_BITS);
}

// Sums `count` samples into output words (clamped to the 16-bit range) and carries the taps
// beyond them over to the next fill.
void blep_finish(BlepBuffer* b, int16_t* out, uint32_t count);

void blep_reset(BlepBuffer* b);
