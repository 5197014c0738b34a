#pragma once

#include <cstdint>

#include "SAudioData.h"

namespace qel {

// The generated test signals; all deterministic.
class CTestSignal {
public:
    // A full-scale single sample at the start, then silence.
    static SSignal impulse(double rate, int32_t channels, double seconds);
    // The same sine on every channel, starting at phase 0.
    static SSignal sine(double rate, int32_t channels, double seconds, double frequency, double dbfs);
    // Independent Gaussian white noise per channel at the given RMS level, from a fixed seed.
    static SSignal noise(double rate, int32_t channels, double seconds, double dbfs);
};

} // namespace qel
