#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "Audio/DSP/CPolyphaseDecimator.h"
#include "Audio/DSP/CPolyphaseInterpolator.h"
#include "Support/Noise.h"

namespace qel {
namespace {

using test::noise;

// y[t] = sum over k of h[k] x[t - k], x zero before its start.
std::vector<double> convolve(const std::vector<double>& h, const std::vector<double>& x) {
    std::vector<double> y(x.size(), 0.0);
    for (size_t t = 0; t < x.size(); ++t)
        for (size_t k = 0; k < h.size() && k <= t; ++k)
            y[t] += h[k] * x[t - k];
    return y;
}

const std::vector<int> kBlocks = {1, 7, 300, 64, 2, 129};

// Short kernels run in direct form only, long ones (713 taps, as the steep stage) in FFT partitions
// too; odd and even lengths give phases of equal and of unequal length. Symmetric kernels (linear phase,
// as the low-passes) have symmetric phases when their length is odd, which the direct loop folds.
class CPolyphaseResamplingTest : public testing::TestWithParam<std::tuple<size_t, bool>> {
protected:
    std::vector<double> kernel(unsigned seed) const {
        std::vector<double> h = noise(std::get<0>(GetParam()), seed);
        if (std::get<1>(GetParam())) std::copy(h.begin(), h.begin() + long(h.size() / 2), h.rbegin());
        return h;
    }
};

TEST_P(CPolyphaseResamplingTest, InterpolationIsTheFilteredZeroStuffedInput) {
    const std::vector<double> h = kernel(1), x = noise(3000, 2);
    std::vector<double> stuffed(2 * x.size(), 0.0);
    for (size_t t = 0; t < x.size(); ++t)
        stuffed[2 * t] = 2.0 * x[t];
    const std::vector<double> expected = convolve(h, stuffed);

    CPolyphaseInterpolator interpolator;
    interpolator.setKernels(std::make_shared<const CPolyphaseKernels>(h.data(), h.size(), 2.0));
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double> out(2 * x.size());
        for (size_t t = 0, b = 0; t < x.size(); ++b) {
            const size_t n = std::min(size_t(kBlocks[b % kBlocks.size()]), x.size() - t);
            interpolator.process(x.data() + t, out.data() + 2 * t, n);
            t += n;
        }
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR(out[i], expected[i], 1e-12) << "pass " << pass << " at " << i;
        interpolator.reset();
    }
}

TEST_P(CPolyphaseResamplingTest, DecimationKeepsTheEvenOutputsOfTheFilter) {
    const std::vector<double> h = kernel(3), x = noise(6000, 4);
    const std::vector<double> filtered = convolve(h, x);

    CPolyphaseDecimator decimator;
    decimator.setKernels(std::make_shared<const CPolyphaseKernels>(h.data(), h.size(), 1.0));
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double> out(x.size() / 2);
        for (size_t t = 0, b = 0; t < out.size(); ++b) {
            const size_t n = std::min(size_t(kBlocks[b % kBlocks.size()]), out.size() - t);
            decimator.process(x.data() + 2 * t, out.data() + t, n);
            t += n;
        }
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR(out[i], filtered[2 * i], 1e-12) << "pass " << pass << " at " << i;
        decimator.reset();
    }
}

// Only a short symmetric kernel of odd length has the folded form: its phases are symmetric and differ by
// one tap. Even lengths give mirror-image phases; long kernels run in partitions.
TEST(CPolyphaseKernelsTest, FoldedFormOnlyForShortSymmetricKernelsOfOddLength) {
    auto folded = [](size_t length, bool symmetric) {
        std::vector<double> h = noise(length, 5);
        if (symmetric) std::copy(h.begin(), h.begin() + long(length / 2), h.rbegin());
        return CPolyphaseKernels(h.data(), h.size(), 2.0).isFolded();
    };
    EXPECT_TRUE(folded(73, true));
    EXPECT_TRUE(folded(3, true));
    EXPECT_FALSE(folded(73, false));
    EXPECT_FALSE(folded(74, true));
    EXPECT_FALSE(folded(1, true));
    EXPECT_FALSE(folded(713, true));
    std::vector<double> h = noise(73, 5);
    std::copy(h.begin(), h.begin() + 36, h.rbegin());
    const CPolyphaseKernels kernels(h.data(), h.size(), 2.0);
    ASSERT_EQ(kernels.foldedTaps(), 37u);
    EXPECT_EQ(kernels.foldedEven()[1], 2.0 * h[2]);
    EXPECT_EQ(kernels.foldedOdd()[0], 2.0 * h[1]);
}

INSTANTIATE_TEST_SUITE_P(KernelLengths, CPolyphaseResamplingTest,
                         testing::Combine(testing::Values(1, 2, 73, 74, 713), testing::Bool()));

} // namespace
} // namespace qel
