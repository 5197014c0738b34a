#pragma once

#include <cmath>
#include <cstdint>

namespace qel {

// The weight of the old signal in a cross-fade of N samples: 0.5 + e, with e = 0.5 cos(pi n / N) made
// by the two-term recurrence, so it runs from 1 to 0 along a half cosine.
struct SHalfCosineFade {
    double e = 0.5;
    double ePrev = 0.5;
    double k = 2.0;

    void start(uint32_t length) {
        const double c = std::cos(M_PI / double(length));
        e = 0.5;
        ePrev = 0.5 * c;
        k = 2.0 * c;
    }
    double oldWeight() const { return e + 0.5; }
    void advance() {
        const double next = k * e - ePrev;
        ePrev = e;
        e = next;
    }
    // y becomes the mix of y (old) and z (new) while remaining counts down, then z itself.
    void mix(double* y, const double* z, uint32_t count, uint32_t& remaining) {
        for (uint32_t i = 0; i < count; ++i) {
            if (!remaining) {
                y[i] = z[i];
                continue;
            }
            const double w = oldWeight();
            y[i] = w * y[i] + (1.0 - w) * z[i];
            advance();
            --remaining;
        }
    }
};

} // namespace qel
