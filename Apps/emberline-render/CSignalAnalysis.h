#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

namespace qel {

struct SLevels {
    double peak = 0; // linear, finite samples only
    double rms = 0;
};

struct SSpecialCounts {
    size_t nan = 0;
    size_t inf = 0;
    size_t subnormal = 0;
};

struct SHarmonicProfile {
    double fundamentalDbfs = 0;
    // Harmonics 2 to 5 in dB relative to the fundamental; empty at or above Nyquist.
    std::array<std::optional<double>, 4> relativeDb;
};

// Measurements on rendered audio.
class CSignalAnalysis {
public:
    static SLevels levels(const std::vector<double>& samples);
    // Counted in the precision the plug-in produced, before any conversion hides a subnormal.
    template <typename T>
    static void countSpecial(const T* samples, size_t count, SSpecialCounts& counts) {
        for (size_t i = 0; i < count; ++i) {
            switch (std::fpclassify(samples[i])) {
            case FP_NAN:
                ++counts.nan;
                break;
            case FP_INFINITE:
                ++counts.inf;
                break;
            case FP_SUBNORMAL:
                ++counts.subnormal;
                break;
            default:
                break;
            }
        }
    }
    // Harmonics of a steady sine in samples [start, end): Blackman-Harris windowed DFT at the exact
    // harmonic frequencies over a whole number of periods. Empty when fewer than 8 periods fit.
    static std::optional<SHarmonicProfile> harmonics(const std::vector<double>& samples, double rate,
                                                     double frequency, size_t start, size_t end);
    // Amplitude of one frequency in a windowed span: the Goertzel recurrence on windowed samples.
    static double amplitude(const std::vector<double>& window, const double* samples, double frequency,
                            double rate);
    static double toDb(double linear) {
        return linear > 0 ? 20 * std::log10(linear) : -std::numeric_limits<double>::infinity();
    }
};

} // namespace qel
