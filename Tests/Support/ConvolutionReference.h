#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qel::test {

// y[t] = sum over k of h[k]·x[t - k], starting at x[from] (earlier input counts as silence).
inline std::vector<double> directConvolution(const std::vector<double>& x, const std::vector<double>& h,
                                             size_t from = 0) {
    std::vector<double> y(x.size());
    for (size_t t = from; t < x.size(); ++t) {
        long double s = 0.0L;
        for (size_t k = 0; k < h.size() && k <= t - from; ++k)
            s += (long double)h[k] * x[t - k];
        y[t] = double(s);
    }
    return y;
}

// Relative to the largest output: FFT rounding scales with the signal, not with each sample.
inline void expectClose(const std::vector<double>& actual, const std::vector<double>& expected, size_t from,
                        const std::string& what, size_t to = SIZE_MAX) {
    double peak = 0.0;
    for (double v : expected)
        peak = std::max(peak, std::abs(v));
    for (size_t t = from; t < std::min(to, expected.size()); ++t)
        ASSERT_NEAR(actual[t], expected[t], 1e-12 * peak) << what << " at sample " << t;
}

// Runs x[from, to) through a convolver in random block lengths (1 included, often), every other block
// in place.
template <class Convolver>
void runRandomBlocks(Convolver& convolver, const std::vector<double>& x, std::vector<double>& y, size_t from,
                     size_t to, unsigned seed, size_t maxBlock) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> length(1, maxBlock);
    bool inPlace = false;
    for (size_t pos = from; pos < to; inPlace = !inPlace) {
        const size_t n = std::min(rng() % 4 == 0 ? 1 : length(rng), to - pos);
        if (inPlace) {
            std::copy_n(x.data() + pos, n, y.data() + pos);
            convolver.process(y.data() + pos, y.data() + pos, n);
        } else {
            convolver.process(x.data() + pos, y.data() + pos, n);
        }
        pos += n;
    }
}

} // namespace qel::test
