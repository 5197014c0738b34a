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
        m_seed = m_seed * 30013u + 30011u;
        return double(m_seed & 0x800000u) * kScale - kOffset;
    }
    void fill(double* out, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            out[i] = next();
    }

private:
    uint32_t m_seed;
};

} // namespace qel
