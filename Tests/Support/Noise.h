#pragma once

#include <random>
#include <vector>

namespace qel::test {

// n uniform samples in [-1, 1), the same for the same seed.
inline std::vector<double> noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x)
        v = dist(rng);
    return x;
}

} // namespace qel::test
