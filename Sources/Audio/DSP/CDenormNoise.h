#pragma once

#include <cstdint>

namespace qel {

// Noise at about -220 dBFS that keeps recursive filters away from denormal numbers. Every generator
// starts from its own seed, so no two share a sequence.
class CDenormNoise {
public:
    static constexpr double kScale = 2.384185791015625e-18;
    static constexpr double kOffset = 1e-11;

    CDenormNoise();
    uint32_t seed() const { return m_seed; }

    // One generator step: -1e-11 or about +1e-11, chosen by bit 23 of the new seed.
    double next() {
        m_seed = step(m_seed);
        return value(m_seed);
    }
    void fill(double* out, uint32_t count) { mix(nullptr, out, count); }
    // out[i] = in[i] + next() (in null: silence); in and out may be the same array. The same values as
    // next() one at a time.
    void mix(const double* in, double* out, uint32_t count);

private:
    static constexpr uint32_t kMultiplier = 30013u, kIncrement = 30011u;

    static uint32_t step(uint32_t seed) { return seed * kMultiplier + kIncrement; }
    static double value(uint32_t seed) { return double(seed & 0x800000u) * kScale - kOffset; }

    uint32_t m_seed;
};

} // namespace qel
