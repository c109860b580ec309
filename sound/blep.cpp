// The band-limited step's table, made by the compiler, and the running sum into output words.
#include "sound/blep.h"

#include <array>
#include <cstring>

namespace {

// The step is the running integral of a windowed sinc over BLEP_TAPS - 1 samples: the cut-off
// leaves the transition room to reach the stop band by 24 kHz, the lowest frequency that folds
// back below 20 kHz, and the Kaiser window's shape (beta) buys the stop band's depth. With these
// a square wave's strongest alias lies 58 dB under the tone at 14 kHz, and further down below.
constexpr double CUTOFF = 0.42; // cycles per sample: 18.5 kHz
constexpr double BETA = 5.0;
constexpr double SPAN = BLEP_TAPS - 1;
constexpr double PI = 3.14159265358979323846;

constexpr double sine(double x) {
    while (x > PI) x -= 2 * PI;
    while (x < -PI) x += 2 * PI;
    double term = x, sum = x;
    for (int n = 1; n < 20; ++n) {
        term *= -x * x / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

constexpr double square_root(double x) {
    if (x <= 0) return 0;
    double r = x < 1 ? 1 : x;
    for (int i = 0; i < 40; ++i) r = (r + x / r) / 2;
    return r;
}

// The modified Bessel function of the first kind, order 0, that shapes the Kaiser window.
constexpr double bessel_i0(double x) {
    double term = 1, sum = 1;
    for (int k = 1; k < 30; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

// The impulse response at x samples from the start of its span.
constexpr double impulse(double x) {
    double u = x - SPAN / 2;
    double a = 2 * PI * CUTOFF * u;
    double sinc = u == 0 ? 2 * CUTOFF : sine(a) / (PI * u);
    double r = u / (SPAN / 2);
    return sinc * bessel_i0(BETA * square_root(1 - r * r)) / bessel_i0(BETA);
}

constexpr uint32_t GRID = uint32_t(SPAN) * BLEP_PHASES; // the step's points, BLEP_PHASES a sample

// The step at every point of the grid, scaled to 1 << BLEP_UNIT_BITS at its end and rounded.
// A row of taps is made of differences of these points, so it adds up to exactly the scale.
using Steps = std::array<int32_t, GRID + 1>;
constexpr Steps make_steps() {
    std::array<double, GRID + 1> s{};
    const double h = 1.0 / BLEP_PHASES;
    double left = impulse(0);
    for (uint32_t j = 0; j < GRID; ++j) { // Simpson's rule on each cell
        double right = impulse((j + 1) * h);
        s[j + 1] = s[j] + h / 6 * (left + 4 * impulse((j + 0.5) * h) + right);
        left = right;
    }
    Steps out{};
    for (uint32_t j = 0; j <= GRID; ++j) {
        double v = s[j] / s[GRID] * (1 << BLEP_UNIT_BITS);
        out[j] = int32_t(v < 0 ? v - 0.5 : v + 0.5);
    }
    return out;
}

constexpr int32_t step_at(const Steps& s, int32_t j) {
    return j <= 0 ? 0 : j >= int32_t(GRID) ? (1 << BLEP_UNIT_BITS) : s[size_t(j)];
}

using Kernel = std::array<std::array<int16_t, BLEP_TAPS>, BLEP_PHASES>;
constexpr Kernel make_kernel() {
    Steps s = make_steps();
    Kernel k{};
    // Tap i of a step a fraction p / BLEP_PHASES after a sample boundary is the step's rise over
    // that output sample.
    for (int32_t p = 0; p < int32_t(BLEP_PHASES); ++p)
        for (int32_t i = 0; i < int32_t(BLEP_TAPS); ++i)
            k[size_t(p)][size_t(i)] = int16_t(step_at(s, (i + 1) * int32_t(BLEP_PHASES) - p) -
                                              step_at(s, i * int32_t(BLEP_PHASES) - p));
    return k;
}

} // namespace

constexpr Kernel blep_kernel = make_kernel();

namespace {

// The taps beyond the fill open the next one; the rest of the buffer is cleared for it.
void carry_over(BlepBuffer* b, uint32_t count) {
    int32_t* d = b->delta;
    std::memmove(d, d + count, BLEP_TAPS * sizeof d[0]);
    std::memset(d + BLEP_TAPS, 0, count * sizeof d[0]);
}

} // namespace

void blep_finish(BlepBuffer* b, int16_t* out, uint32_t count) {
    int32_t* d = b->delta;
    int32_t sum = b->sum;
    for (uint32_t i = 0; i < count; ++i) {
        sum += d[i];
        out[i] = blep_word(sum);
    }
    b->sum = sum;
    carry_over(b, count);
}

void blep_finish_stereo(BlepBuffer* b, uint8_t* out, uint32_t count) {
    int32_t* d = b->delta;
    int32_t sum = b->sum;
    for (uint32_t i = 0; i < count; ++i) {
        sum += d[i];
        int32_t w = blep_word(sum);
        out[0] = uint8_t(w);
        out[1] = uint8_t(w >> 8);
        out[2] = uint8_t(w);
        out[3] = uint8_t(w >> 8);
        out += 4;
    }
    b->sum = sum;
    carry_over(b, count);
}

void blep_reset(BlepBuffer* b) {
    std::memset(b, 0, sizeof *b);
    b->sum = BLEP_SUM_START;
}
