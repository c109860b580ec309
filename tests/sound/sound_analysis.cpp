#include "tests/sound/sound_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

#include "sound/psg.h"

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

std::vector<int16_t> render(double seconds) {
    std::vector<int16_t> out;
    while (double(out.size()) < seconds * SOUND_RATE) {
        mixer_generate(512);
        out.insert(out.end(), mixer.mix_buffer, mixer.mix_buffer + 512);
    }
    return out;
}

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

int32_t plateau(const std::vector<int16_t>& s, Span span) {
    std::vector<int32_t> m;
    for (size_t i = span.from; i < std::min(span.to, s.size()); ++i) m.push_back(std::abs(int32_t(s[i])));
    if (m.empty()) return 0;
    std::nth_element(m.begin(), m.begin() + std::ptrdiff_t(m.size() / 2), m.end());
    return m[m.size() / 2];
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

namespace {

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> w = std::polar(1.0, -2 * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> u = 1;
            for (size_t k = 0; k < len / 2; ++k) {
                std::complex<double> x = a[i + k], y = a[i + k + len / 2] * u;
                a[i + k] = x + y;
                a[i + k + len / 2] = x - y;
                u *= w;
            }
        }
    }
}

} // namespace

double strongest_stray_db(const std::vector<int16_t>& s, Span span, double f0, double* found) {
    constexpr size_t N = 1 << 15;
    if (span.from + N > std::min(span.to, s.size())) std::abort(); // the span is too short
    std::vector<std::complex<double>> a(N);
    for (size_t i = 0; i < N; ++i) {
        double x = 2 * M_PI * double(i) / double(N);
        double w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
        a[i] = double(s[span.from + i]) * w;
    }
    fft(a);
    const double bin = SOUND_RATE / double(N);
    // The tone: the strongest bin within a semitone of f0. Its main lobe is four bins each side.
    size_t tone = 0;
    for (size_t k = size_t(f0 / 1.06 / bin); k <= size_t(f0 * 1.06 / bin) && k < N / 2; ++k)
        if (std::abs(a[k]) > std::abs(a[tone])) tone = k;
    if (found) *found = double(tone) * bin;
    double stray = 0;
    for (size_t k = size_t(20 / bin); k <= size_t(20000 / bin); ++k) {
        double harmonic = std::round(double(k) * bin / f0) * f0;
        if (harmonic > 0 && std::fabs(double(k) * bin - harmonic) <= 6 * bin) continue;
        stray = std::max(stray, std::abs(a[k]));
    }
    return 20 * std::log10(std::max(stray, 1e-9) / std::abs(a[tone]));
}

double amplitude_at(const std::vector<int16_t>& s, Span span, double f) {
    size_t to = std::min(span.to, s.size());
    std::vector<double> w;
    double n = double(to - span.from - 1), gain = 0;
    for (size_t i = span.from; i < to; ++i) {
        double h = 0.5 - 0.5 * std::cos(2 * M_PI * double(i - span.from) / n);
        w.push_back(double(s[i]) * h);
        gain += h;
    }
    return 2 * spectrum(w, f) / gain;
}
