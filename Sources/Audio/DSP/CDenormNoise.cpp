#include "Audio/DSP/CDenormNoise.h"

#include <atomic>

namespace qel {

namespace {

std::atomic<uint32_t> g_seedCounter{0};

} // namespace

CDenormNoise::CDenormNoise() : m_seed(g_seedCounter.fetch_add(1) & 0x7fffffffu) {}

void CDenormNoise::mix(const double* in, double* out, uint32_t count) {
    // Four steps at once: s -> a^4·s + c·(a^3 + a^2 + a + 1) (mod 2^32) moves each of four consecutive
    // seeds four places on, so four independent chains replace one chain of dependent steps.
    constexpr uint32_t a2 = kMultiplier * kMultiplier, a4 = a2 * a2;
    constexpr uint32_t c4 = kIncrement * (a2 * kMultiplier + a2 + kMultiplier + 1u);
    uint32_t i = 0;
    if (count >= 4) {
        uint32_t seeds[4];
        seeds[0] = step(m_seed);
        for (int k = 1; k < 4; ++k)
            seeds[k] = step(seeds[k - 1]);
        for (; i + 4 <= count; i += 4) {
            for (uint32_t k = 0; k < 4; ++k)
                out[i + k] = (in ? in[i + k] : 0.0) + value(seeds[k]);
            // The last seed used, where next() goes on from.
            m_seed = seeds[3];
            for (uint32_t k = 0; k < 4; ++k)
                seeds[k] = seeds[k] * a4 + c4;
        }
    }
    for (; i < count; ++i)
        out[i] = (in ? in[i] : 0.0) + next();
}

} // namespace qel
