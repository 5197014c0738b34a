#include "CSignalAnalysis.h"

#include <algorithm>
#include <numbers>

namespace qel {

SLevels CSignalAnalysis::levels(const std::vector<double>& samples) {
    SLevels result;
    double sum = 0;
    size_t finite = 0;
    for (double sample : samples) {
        if (!std::isfinite(sample)) continue;
        result.peak = std::max(result.peak, std::abs(sample));
        sum += sample * sample;
        ++finite;
    }
    result.rms = finite ? std::sqrt(sum / double(finite)) : 0;
    return result;
}

double CSignalAnalysis::amplitude(const std::vector<double>& window, const double* samples, double frequency,
                                  double rate) {
    const double omega = 2 * std::numbers::pi * frequency / rate;
    const double coefficient = 2 * std::cos(omega);
    double s1 = 0, s2 = 0, windowSum = 0;
    for (size_t i = 0; i < window.size(); ++i) {
        double s0 = window[i] * samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        windowSum += window[i];
    }
    // |X(omega)|^2 holds for any omega, not only bin centres.
    double power = std::max(0.0, s1 * s1 + s2 * s2 - coefficient * s1 * s2);
    return 2 * std::sqrt(power) / windowSum;
}

std::optional<SHarmonicProfile> CSignalAnalysis::harmonics(const std::vector<double>& samples, double rate,
                                                           double frequency, size_t start, size_t end) {
    end = std::min(end, samples.size());
    if (start >= end || frequency <= 0 || frequency >= rate / 2) return std::nullopt;
    double periods = std::floor(double(end - start) * frequency / rate);
    if (periods < 8) return std::nullopt;
    size_t length = std::min(end - start, size_t(std::llround(periods * rate / frequency)));

    // Four-term Blackman-Harris: side lobes below -92 dB, under the harmonics of interest.
    std::vector<double> window(length);
    for (size_t i = 0; i < length; ++i) {
        double x = 2 * std::numbers::pi * double(i) / double(length);
        window[i] = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
    }
    const double* span = samples.data() + start;
    double fundamental = amplitude(window, span, frequency, rate);
    if (!(fundamental > 0)) return std::nullopt;

    SHarmonicProfile profile;
    profile.fundamentalDbfs = toDb(fundamental);
    for (int h = 2; h <= 5; ++h) {
        if (frequency * h >= rate / 2) continue;
        profile.relativeDb[size_t(h - 2)] = toDb(amplitude(window, span, frequency * h, rate) / fundamental);
    }
    return profile;
}

} // namespace qel
