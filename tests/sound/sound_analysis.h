// Measurements on recorded sound, for the tests: pitch from the times of the rising edges, levels,
// silent gaps, the changes of sign of noise and the spectrum; and the mixer's output to measure. They look only at the samples, never at the
// mixer's own values, so that they judge the sound as a listener's instruments would.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr double SOUND_RATE = 44100.0;
// Samples in one console frame (1/60 s).
constexpr size_t SAMPLES_PER_FRAME = 735;

// `seconds` of the mixer's output, rendered in fills of 512 samples as the audio thread asks for
// them.
std::vector<int16_t> render(double seconds);

// The left side of interleaved stereo samples, after checking that both sides are equal.
std::vector<int16_t> left_side(const std::vector<int16_t>& stereo);

// One stretch of a recording, in samples.
struct Span {
    size_t from, to;
};
// The part of frames [first, first + count) that is clear of the frames' edges by `margin`
// samples each side (the changes of a frame reach the sound within one device chunk).
Span frames(size_t first, size_t count, size_t margin = 1024);

// Frequency in Hz of a periodic wave over the span: a least-squares line through the times of its
// rising zero crossings (each counted as so many periods from the first). 0 if it has fewer than
// eight periods.
double measure_pitch(const std::vector<int16_t>& s, Span span);

// Frequency in Hz of the strongest component between `low` and `high` Hz: the peak of the
// spectrum of the Hann-windowed span, found on a coarse grid and refined. For tones too high for
// their edges to survive the sampling (above a quarter of the sample rate), where the sampled
// edges follow the aliases of the harmonics instead of the tone.
double fit_pitch(const std::vector<int16_t>& s, Span span, double low, double high);

// 1200 x log2(measured / wanted).
double cents(double measured, double wanted);

// The largest magnitude of a sample in the span.
int32_t peak(const std::vector<int16_t>& s, Span span);

// The median magnitude of the samples in the span: the level of a square wave's flat tops and
// bottoms, leaving out the ringing of its band-limited edges.
int32_t plateau(const std::vector<int16_t>& s, Span span);

// Runs of at least `min_length` zero samples that start inside the span.
size_t silent_gaps(const std::vector<int16_t>& s, Span span, size_t min_length);

// Changes of sign between neighbouring non-zero samples in the span, per second.
double sign_changes_per_second(const std::vector<int16_t>& s, Span span);

// The lengths, in samples, of the half-waves (time between one zero crossing and the next) of
// the span.
std::vector<double> half_waves(const std::vector<int16_t>& s, Span span);

// The strongest component between 20 Hz and 20 kHz that is neither the tone at `f0` Hz nor one of
// its harmonics, in dB against the tone, from the Blackman-Harris-windowed spectrum of the first
// 2^15 samples of the span (its side lobes lie 92 dB down). `found` receives the tone's frequency.
double strongest_stray_db(const std::vector<int16_t>& s, Span span, double f0, double* found = nullptr);

// The magnitude of the spectrum of the Hann-windowed span at f Hz, scaled so that a sine of
// amplitude A gives A.
double amplitude_at(const std::vector<int16_t>& s, Span span, double f);
