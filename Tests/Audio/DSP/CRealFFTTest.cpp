#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "Audio/DSP/CRealFFT.h"
#include "Support/DspBuildTest.h"
#include "Support/Noise.h"

namespace qel {
namespace {

using test::noise;

double norm2(const std::vector<double>& x) {
    double s = 0.0;
    for (double v : x)
        s += v * v;
    return std::sqrt(s);
}

// Bins 0 .. n/2 of the DFT, summed in long double from exact angle indices.
std::vector<std::pair<long double, long double>> directDft(const std::vector<double>& x) {
    const size_t n = x.size();
    std::vector<long double> c(n), s(n);
    for (size_t i = 0; i < n; ++i) {
        const long double angle = 2.0L * std::numbers::pi_v<long double> * (long double)i / (long double)n;
        c[i] = std::cos(angle);
        s[i] = std::sin(angle);
    }
    std::vector<std::pair<long double, long double>> bins(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k)
        for (size_t i = 0; i < n; ++i) {
            const size_t a = (k * i) % n;
            bins[k].first += x[i] * c[a];
            bins[k].second -= x[i] * s[a];
        }
    return bins;
}

std::vector<double> circularConvolution(const std::vector<double>& a, const std::vector<double>& b) {
    const size_t n = a.size();
    std::vector<double> y(n);
    for (size_t t = 0; t < n; ++t) {
        long double s = 0.0L;
        for (size_t k = 0; k < n; ++k)
            s += (long double)a[k] * b[(t + n - k) % n];
        y[t] = double(s);
    }
    return y;
}

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

class CRealFFTTest : public test::DspBuildTest {};

TEST_P(CRealFFTTest, ForwardMatchesTheDirectDftAtEverySize) {
    for (size_t n = 2; n <= 4096; n *= 2) {
        CRealFFT fft(n, kernels());
        const std::vector<double> x = noise(n, unsigned(n));
        std::vector<double> packed(n);
        fft.forward(x.data(), packed.data());
        const auto bins = directDft(x);
        // Rounding grows with log2(n) and the signal's energy.
        const double tolerance = 2e-16 * std::log2(double(2 * n)) * norm2(x);
        const size_t m = n / 2;
        EXPECT_NEAR(packed[0], double(bins[0].first), tolerance) << n;
        EXPECT_NEAR(packed[m], double(bins[m].first), tolerance) << n;
        EXPECT_NEAR(double(bins[m].second), 0.0, tolerance) << n;
        for (size_t k = 1; k < m; ++k) {
            ASSERT_NEAR(packed[k], double(bins[k].first), tolerance) << n << " bin " << k;
            ASSERT_NEAR(packed[m + k], double(bins[k].second), tolerance) << n << " bin " << k;
        }
    }
}

TEST_P(CRealFFTTest, InverseUndoesForwardInPlace) {
    for (size_t n = 2; n <= 4096; n *= 2) {
        CRealFFT fft(n, kernels());
        const std::vector<double> x = noise(n, unsigned(7 * n));
        std::vector<double> y = x;
        fft.forward(y.data(), y.data());
        fft.inverse(y.data(), y.data());
        EXPECT_LE(maxDifference(x, y), 1e-15 * std::log2(double(2 * n))) << n;
    }
}

TEST_P(CRealFFTTest, PackedLayoutHoldsRealPartsThenImaginaryPartsWithNyquistBesideDc) {
    const size_t n = 16;
    CRealFFT fft(n, kernels());
    std::vector<double> x(n), packed(n), expected(n);
    auto check = [&](const char* what) {
        fft.forward(x.data(), packed.data());
        for (size_t i = 0; i < n; ++i)
            EXPECT_NEAR(packed[i], expected[i], 1e-13) << what << " at " << i;
    };
    std::fill(x.begin(), x.end(), 1.0);
    expected.assign(n, 0.0);
    expected[0] = 16.0;
    check("constant");
    for (size_t i = 0; i < n; ++i)
        x[i] = i % 2 ? -1.0 : 1.0;
    expected.assign(n, 0.0);
    expected[8] = 16.0;
    check("alternating");
    for (size_t i = 0; i < n; ++i)
        x[i] = std::cos(2.0 * std::numbers::pi * 3.0 * double(i) / double(n)) +
               2.0 * std::sin(2.0 * std::numbers::pi * 5.0 * double(i) / double(n));
    expected.assign(n, 0.0);
    expected[3] = 8.0;
    expected[8 + 5] = -16.0; // sine: negative imaginary part
    check("bins 3 and 5");
}

// Sizes below and above the eight-bin vectors, one product and sums of several, spaced apart.
TEST_P(CRealFFTTest, SumOfProductsIsTheSpectrumOfASumOfCircularConvolutions) {
    for (size_t n : {2, 4, 8, 16, 64, 512})
        for (size_t count : {1, 3}) {
            CRealFFT fft(n, kernels());
            const size_t stride = n + 5;
            std::vector<double> a(count * stride), b(count * stride), product(n);
            std::vector<double> expected(n, 0.0);
            for (size_t j = 0; j < count; ++j) {
                const std::vector<double> x = noise(n, unsigned(2 * j + 1)),
                                          y = noise(n, unsigned(2 * j + 2));
                fft.forward(x.data(), a.data() + j * stride);
                fft.forward(y.data(), b.data() + j * stride);
                const std::vector<double> xy = circularConvolution(x, y);
                for (size_t i = 0; i < n; ++i)
                    expected[i] += xy[i];
            }
            fft.sumOfProducts(a.data(), b.data(), count, stride, product.data());
            fft.inverse(product.data(), product.data());
            EXPECT_LE(maxDifference(product, expected), 1e-13) << n << " count " << count;
        }
}

INSTANTIATE_TEST_SUITE_P(Builds, CRealFFTTest, test::dspBuilds(), test::dspBuildName);

TEST(CRealFFTSizeTest, AcceptsOnlyPowersOfTwoFromTwo) {
    CRealFFT fft;
    EXPECT_EQ(fft.size(), 0u);
    for (size_t bad : {0, 1, 3, 6, 12, 1000}) {
        EXPECT_FALSE(fft.setSize(bad)) << bad;
        EXPECT_EQ(fft.size(), 0u);
    }
    EXPECT_TRUE(fft.setSize(2));
    EXPECT_TRUE(fft.setSize(1024));
    EXPECT_EQ(fft.size(), 1024u);
}

} // namespace
} // namespace qel
