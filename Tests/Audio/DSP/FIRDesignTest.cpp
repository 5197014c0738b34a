#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "Audio/DSP/FIRDesign.h"

namespace qel {
namespace {

constexpr double kPi = std::numbers::pi;

// I0 by its power series sum ((x/2)^k / k!)^2, to full double precision.
double seriesI0(double x) {
    const double q = x * x / 4.0;
    double term = 1.0, sum = 1.0;
    for (int k = 1; term > 1e-18 * sum; ++k) {
        term *= q / (double(k) * double(k));
        sum += term;
    }
    return sum;
}

// The response at f (cycles per sample) with the kernel's delay removed.
std::complex<double> zeroPhaseResponse(const std::vector<double>& taps, double f) {
    const int M = int(taps.size() / 2);
    std::complex<double> sum = 0.0;
    for (int n = -M; n <= M; ++n)
        sum += taps[size_t(M + n)] * std::polar(1.0, -2.0 * kPi * f * n);
    return sum;
}

double dB(double magnitude) {
    return 20.0 * std::log10(magnitude);
}

TEST(FIRDesignTest, BesselI0IsWithinThePolynomialErrorBounds) {
    for (double x = 0.0; x <= 350.0; x += (x < 10.0 ? 0.01 : 0.37)) {
        const double exact = seriesI0(x);
        if (x < 3.75) {
            ASSERT_LE(std::fabs(qelBesselI0(x) - exact), 1.6e-7) << x;
        } else {
            const double scale = std::sqrt(x) * std::exp(-x);
            ASSERT_LE(std::fabs(qelBesselI0(x) - exact) * scale, 1.9e-7) << x;
        }
        ASSERT_EQ(qelBesselI0(-x), qelBesselI0(x)) << x;
    }
    EXPECT_EQ(qelBesselI0(0.0), 1.0);
}

TEST(FIRDesignTest, HilbertKernelIsAnAntisymmetricWindowedOddTapSeries) {
    for (auto [rate, expectedDelay] : {std::pair{44100.0, 1103}, {48000.0, 1200}, {88200.0, 2206}}) {
        std::vector<double> taps;
        int32_t delay = -1;
        ASSERT_TRUE(qelDesignHilbert(rate, 0.050023, taps, delay));
        ASSERT_EQ(delay, expectedDelay);
        ASSERT_EQ(taps.size(), size_t(2 * delay + 1));
        const double D = rate * 0.5 * 0.050023;
        EXPECT_EQ(taps[size_t(delay)], 0.0);
        for (int k = 1; k <= delay; ++k) {
            const double h = taps[size_t(delay + k)];
            ASSERT_EQ(taps[size_t(delay - k)], -h) << k;
            if (k % 2 == 0) {
                ASSERT_EQ(h, 0.0) << k;
            } else {
                const double w = 0.42 + 0.5 * std::cos(kPi * k / D) + 0.08 * std::cos(2.0 * kPi * k / D);
                ASSERT_NEAR(h, w * 2.0 / (k * kPi), 1e-13) << k;
            }
        }
    }
    // Nothing but the centre tap: refused, the caller's kernel stays.
    std::vector<double> taps = {1.0};
    int32_t delay = 0;
    EXPECT_FALSE(qelDesignHilbert(44100.0, 1.9 / 44100.0, taps, delay));
    EXPECT_FALSE(qelDesignHilbert(44100.0, NAN, taps, delay));
    EXPECT_EQ(taps, std::vector<double>{1.0});
}

TEST(FIRDesignTest, HilbertKernelShiftsTheBandByNinetyDegreesAtUnityGain) {
    const double rate = 44100.0;
    std::vector<double> taps;
    int32_t delay = 0;
    ASSERT_TRUE(qelDesignHilbert(rate, 0.050023, taps, delay));
    for (double f = 40.0; f <= 20000.0; f *= 1.05) {
        const std::complex<double> h = zeroPhaseResponse(taps, f / rate);
        // A lag of exactly a quarter period: a cosine comes out as a sine.
        ASSERT_NEAR(h.real(), 0.0, 1e-12) << f;
        ASSERT_LT(h.imag(), 0.0) << f;
        ASSERT_NEAR(dB(std::abs(h)), 0.0, f < 100.0 ? 0.2 : 0.005) << f;
    }
    // The same in the time domain, a 1 kHz cosine after the delay.
    const double w = 2.0 * kPi * 1000.0 / rate;
    for (int n = 4000; n < 4100; ++n) {
        double y = 0.0;
        for (size_t k = 0; k < taps.size(); ++k)
            y += taps[k] * std::cos(w * double(n - int(k)));
        ASSERT_NEAR(y, std::sin(w * double(n - delay)), 1e-4) << n;
    }
}

TEST(FIRDesignTest, KaiserLowPassIsTheWindowedSinc) {
    const double rate = 48000.0, cutoff = 5000.0, beta = 9.5;
    for (double D : {40.0, 40.7}) {
        std::vector<double> taps;
        int32_t delay = -1;
        ASSERT_TRUE(qelDesignKaiserLowPass(rate, cutoff, D, beta, taps, delay));
        ASSERT_EQ(delay, 40);
        ASSERT_EQ(taps.size(), 81u);
        const double omega = 2.0 * kPi * cutoff / rate;
        EXPECT_DOUBLE_EQ(taps[40], omega / kPi);
        for (int k = 1; k <= 40; ++k) {
            const double w = qelBesselI0(beta * std::sqrt(1.0 - (k / D) * (k / D))) / qelBesselI0(beta);
            ASSERT_NEAR(taps[size_t(40 + k)], std::sin(k * omega) * w / (k * kPi), 1e-14) << D << " " << k;
            ASSERT_EQ(taps[size_t(40 - k)], taps[size_t(40 + k)]) << k;
        }
    }
    // Long enough for the ideal shape: unity at DC, -6 dB at the cutoff, nothing well above it.
    std::vector<double> taps;
    int32_t delay = 0;
    ASSERT_TRUE(qelDesignKaiserLowPass(rate, cutoff, 400.0, beta, taps, delay));
    EXPECT_NEAR(zeroPhaseResponse(taps, 0.0).real(), 1.0, 1e-6);
    EXPECT_NEAR(zeroPhaseResponse(taps, cutoff / rate).real(), 0.5, 1e-3);
    EXPECT_LT(dB(std::abs(zeroPhaseResponse(taps, 6000.0 / rate))), -80.0);
}

TEST(FIRDesignTest, KaiserBetaIsClampedAndBadSettingsAreRefused) {
    auto design = [](double beta, double cutoff = 9000.0) {
        std::vector<double> taps;
        int32_t delay = 0;
        EXPECT_TRUE(qelDesignKaiserLowPass(44100.0, cutoff, 24.0, beta, taps, delay));
        return taps;
    };
    EXPECT_EQ(design(0.2), design(1.0));
    EXPECT_EQ(design(-5.0), design(1.0));
    EXPECT_NE(design(1.5), design(1.0));
    EXPECT_EQ(design(1000.0), design(350.0));
    EXPECT_NE(design(349.0), design(350.0));

    // A cutoff at or above Nyquist passes everything: a pure delay.
    const std::vector<double> delayLine = design(8.0, 30000.0);
    for (size_t k = 0; k < delayLine.size(); ++k)
        EXPECT_NEAR(delayLine[k], k == 24 ? 1.0 : 0.0, 1e-12) << k;

    std::vector<double> taps = {2.0};
    int32_t delay = 7;
    EXPECT_FALSE(qelDesignKaiserLowPass(44100.0, 0.0, 24.0, 8.0, taps, delay));
    EXPECT_FALSE(qelDesignKaiserLowPass(44100.0, NAN, 24.0, 8.0, taps, delay));
    EXPECT_FALSE(qelDesignKaiserLowPass(0.0, 1000.0, 24.0, 8.0, taps, delay));
    EXPECT_FALSE(qelDesignKaiserLowPass(44100.0, 1000.0, -1.0, 8.0, taps, delay));
    EXPECT_FALSE(qelDesignKaiserLowPass(44100.0, 1000.0, 24.0, NAN, taps, delay));
    EXPECT_EQ(taps, std::vector<double>{2.0});
    EXPECT_EQ(delay, 7);
}

TEST(FIRDesignTest, LowPassHalfWidthRoundsTheLengthUpToFourSamples) {
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 0.008), 356.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 0.023), 1016.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 0.00081), 36.0);
    // A length already on the grid stays, even when rate * length is not exact in binary.
    EXPECT_EQ(qelLowPassHalfWidth(1000.0, 0.008), 8.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 0.01), 444.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 1e-6), 4.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, 0.0), 0.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, -0.01), 0.0);
    EXPECT_EQ(qelLowPassHalfWidth(44100.0, INFINITY), 0.0);
}

} // namespace
} // namespace qel
