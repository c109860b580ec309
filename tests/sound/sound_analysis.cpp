#include "tests/sound/sound_analysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The times of the crossings through zero in the span, rising, falling or both. A crossing lies
// halfway between the last sample of one sign and the first of the other, across any zeros.
std::vector<double> crossings(const std::vector<int16_t>& s, Span span, bool rising, bool falling) {
    std::vector<double> out;
    size_t to = std::min(span.to, s.size());
    size_t last = 0;
    int last_sign = 0;
    for (size_t i = span.from; i < to; ++i) {
        int sign = s[i] > 0 ? 1 : s[i] < 0 ? -1 : 0;
        if (sign == 0) continue;
        if (last_sign != 0 && sign != last_sign && (sign > 0 ? rising : falling))
            out.push_back((double(last) + double(i)) / 2);
        last = i;
        last_sign = sign;
    }
    return out;
}

// Magnitude of the spectrum of the windowed samples at f Hz.
double spectrum(const std::vector<double>& w, double f) {
    const double step = 2 * M_PI * f / SOUND_RATE;
    const double cr = std::cos(step), ci = -std::sin(step);
    double re = 0, im = 0, pr = 1, pi = 0; // the running phasor e^(-i step n)
    for (double x : w) {
        re += x * pr;
        im += x * pi;
        double nr = pr * cr - pi * ci;
        pi = pr * ci + pi * cr;
        pr = nr;
    }
    return std::hypot(re, im);
}

} // namespace

std::vector<int16_t> left_side(const std::vector<int16_t>& stereo) {
    std::vector<int16_t> out;
    out.reserve(stereo.size() / 2);
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        if (stereo[i] != stereo[i + 1]) std::abort(); // both sides carry the same mono sound
        out.push_back(stereo[i]);
    }
    return out;
}

Span frames(size_t first, size_t count, size_t margin) {
    return {first * SAMPLES_PER_FRAME + margin, (first + count) * SAMPLES_PER_FRAME - margin};
}

double measure_pitch(const std::vector<int16_t>& s, Span span) {
    std::vector<double> edges = crossings(s, span, true, false);
    if (edges.size() < 9) return 0;
    // A first guess of the period: the median distance between neighbouring edges. It only
    // numbers the edges, so that an edge the sampling lost does not shift the count.
    std::vector<double> gaps;
    for (size_t i = 1; i < edges.size(); ++i) gaps.push_back(edges[i] - edges[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    double guess = gaps[gaps.size() / 2];
    std::vector<double> index{0};
    for (size_t i = 1; i < edges.size(); ++i)
        index.push_back(index.back() + std::max(1.0, std::round((edges[i] - edges[i - 1]) / guess)));
    double n = double(edges.size()), sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < edges.size(); ++i) {
        sx += index[i];
        sy += edges[i];
        sxx += index[i] * index[i];
        sxy += index[i] * edges[i];
    }
    double period = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return SOUND_RATE / period;
}

double cents(double measured, double wanted) { return 1200 * std::log2(measured / wanted); }

int32_t peak(const std::vector<int16_t>& s, Span span) {
    int32_t top = 0;
    for (size_t i = span.from; i < std::min(span.to, s.size()); ++i)
        top = std::max(top, std::abs(int32_t(s[i])));
    return top;
}

size_t silent_gaps(const std::vector<int16_t>& s, Span span, size_t min_length) {
    size_t gaps = 0;
    for (size_t i = span.from; i < std::min(span.to, s.size());) {
        if (s[i] != 0) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < s.size() && s[j] == 0) ++j;
        if (j - i >= min_length) ++gaps;
        i = j;
    }
    return gaps;
}

double sign_changes_per_second(const std::vector<int16_t>& s, Span span) {
    size_t n = crossings(s, span, true, true).size();
    return double(n) * SOUND_RATE / double(span.to - span.from);
}

std::vector<double> half_waves(const std::vector<int16_t>& s, Span span) {
    std::vector<double> edges = crossings(s, span, true, true), out;
    for (size_t i = 1; i < edges.size(); ++i) out.push_back(edges[i] - edges[i - 1]);
    return out;
}

double fit_pitch(const std::vector<int16_t>& s, Span span, double low, double high) {
    size_t to = std::min(span.to, s.size());
    if (to <= span.from + 2) return 0;
    std::vector<double> w;
    double n = double(to - span.from - 1);
    for (size_t i = span.from; i < to; ++i)
        w.push_back(double(s[i]) * (0.5 - 0.5 * std::cos(2 * M_PI * double(i - span.from) / n)));
    // A grid of half the spectrum's resolution finds the window's main lobe, four bins wide; the
    // search for its top then narrows the interval down to a millionth of a hertz.
    double grid = SOUND_RATE / n / 2, best = low, best_value = -1;
    for (double f = low; f <= high; f += grid) {
        double v = spectrum(w, f);
        if (v > best_value) {
            best_value = v;
            best = f;
        }
    }
    double a = best - grid, b = best + grid;
    while (b - a > 1e-6) {
        double m1 = a + (b - a) / 3, m2 = b - (b - a) / 3;
        if (spectrum(w, m1) < spectrum(w, m2))
            a = m1;
        else
            b = m2;
    }
    return (a + b) / 2;
}
