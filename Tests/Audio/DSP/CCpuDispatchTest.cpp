#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "Audio/DSP/CCpuDispatch.h"
#include "Support/Noise.h"

namespace qel {
namespace {

using test::noise;

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

TEST(CCpuDispatchTest, FastBuildOnlyWhenSupportedAndNotForcedOff) {
    EXPECT_EQ(CCpuDispatch::choose(true, nullptr), CCpuDispatch::Avx2Fma);
    EXPECT_EQ(CCpuDispatch::choose(false, nullptr), CCpuDispatch::Generic);
    EXPECT_EQ(CCpuDispatch::choose(true, "1"), CCpuDispatch::Generic);
    EXPECT_EQ(CCpuDispatch::choose(true, "0"), CCpuDispatch::Avx2Fma);
    EXPECT_EQ(CCpuDispatch::choose(false, "1"), CCpuDispatch::Generic);
    EXPECT_TRUE(CCpuDispatch::isSupported(CCpuDispatch::Generic));

    const CCpuDispatch::EBuild selected = CCpuDispatch::selected();
    EXPECT_EQ(selected, CCpuDispatch::choose(CCpuDispatch::isSupported(CCpuDispatch::Avx2Fma),
                                             std::getenv("EMBERLINE_FORCE_GENERIC")));
    EXPECT_EQ(&CCpuDispatch::kernels(), &CCpuDispatch::kernels(selected));
}

// Each build against a long-double reference, over every path of the loops (24, 16, 4 and 1 outputs at a
// time, every residue of the taps), plain and with a symmetric kernel folded.
TEST(CCpuDispatchTest, FirLoopsMatchTheDirectSumInEveryBuild) {
    for (CCpuDispatch::EBuild build : {CCpuDispatch::Generic, CCpuDispatch::Avx2Fma}) {
        if (!CCpuDispatch::isSupported(build)) continue;
        const SDspKernels& k = CCpuDispatch::kernels(build);
        for (bool symmetric : {false, true})
            for (size_t taps : {0, 1, 2, 3, 4, 5, 7, 8, 9, 36, 37, 64})
                for (size_t count : {0, 1, 3, 4, 5, 15, 16, 17, 23, 24, 35, 41, 64}) {
                    std::vector<double> h = noise(taps, unsigned(taps));
                    if (symmetric) std::copy(h.begin(), h.begin() + long(taps / 2), h.rbegin());
                    const std::vector<double> x = noise(taps + count, 9);
                    std::vector<double> out = noise(count, 10);
                    std::vector<double> expected = out;
                    for (size_t p = 0; p < count; ++p) {
                        long double s = 0.0L;
                        for (size_t i = 0; i < taps; ++i)
                            s += (long double)h[i] * x[p + i];
                        expected[p] += double(s);
                    }
                    (symmetric ? k.firAccumulateSymmetric : k.firAccumulate)(h.data(), taps, x.data(),
                                                                             out.data(), count);
                    EXPECT_LE(maxDifference(out, expected), 1e-14)
                        << k.name << " taps " << taps << " count " << count << " symmetric " << symmetric;
                }
    }
}

// Both phases of a symmetric odd-length low-pass from one window, interleaved, against a long-double
// reference.
TEST(CCpuDispatchTest, FoldedInterpolationMatchesTheDirectSumsInEveryBuild) {
    for (CCpuDispatch::EBuild build : {CCpuDispatch::Generic, CCpuDispatch::Avx2Fma}) {
        if (!CCpuDispatch::isSupported(build)) continue;
        const SDspKernels& k = CCpuDispatch::kernels(build);
        for (size_t taps : {2, 3, 4, 5, 8, 37, 38})
            for (size_t count : {0, 1, 15, 16, 17, 33, 64}) {
                std::vector<double> e = noise(taps, 1), o = noise(taps - 1, 2);
                std::copy(e.begin(), e.begin() + long(taps / 2), e.rbegin());
                std::copy(o.begin(), o.begin() + long((taps - 1) / 2), o.rbegin());
                const std::vector<double> x = noise(count + taps, 3);
                std::vector<double> out(2 * count), expected(2 * count);
                for (size_t p = 0; p < count; ++p) {
                    long double even = 0.0L, odd = 0.0L;
                    for (size_t i = 0; i < taps; ++i)
                        even += (long double)e[i] * x[p + i];
                    for (size_t j = 0; j + 1 < taps; ++j)
                        odd += (long double)o[j] * x[p + 1 + j];
                    expected[2 * p] = double(even);
                    expected[2 * p + 1] = double(odd);
                }
                k.firInterpolateFolded(e.data(), o.data(), taps, x.data(), out.data(), count);
                EXPECT_LE(maxDifference(out, expected), 1e-14)
                    << k.name << " taps " << taps << " count " << count;
            }
    }
}

// Each output is summed in one order whichever loop computes it (vectors of 24, 16, 4 or single outputs), so
// splitting the outputs into calls anywhere gives exactly the same values: block lengths never change
// results.
TEST(CCpuDispatchTest, DirectLoopsGiveTheSameValuesForAnySplitIntoCalls) {
    for (CCpuDispatch::EBuild build : {CCpuDispatch::Generic, CCpuDispatch::Avx2Fma}) {
        if (!CCpuDispatch::isSupported(build)) continue;
        const SDspKernels& k = CCpuDispatch::kernels(build);
        for (size_t taps : {5, 36, 37, 64}) {
            std::vector<double> h = noise(taps, 1), o = noise(taps - 1, 2);
            std::copy(h.begin(), h.begin() + long(taps / 2), h.rbegin());
            std::copy(o.begin(), o.begin() + long((taps - 1) / 2), o.rbegin());
            const size_t count = 200;
            const std::vector<double> x = noise(count + taps, 3);
            std::vector<double> plain(count, 0.0), folded(count, 0.0), doubled(2 * count);
            k.firAccumulate(h.data(), taps, x.data(), plain.data(), count);
            k.firAccumulateSymmetric(h.data(), taps, x.data(), folded.data(), count);
            k.firInterpolateFolded(h.data(), o.data(), taps, x.data(), doubled.data(), count);
            for (size_t first : {1, 3, 7, 17, 25, 41}) {
                std::vector<double> plainSplit(count, 0.0), foldedSplit(count, 0.0), doubledSplit(2 * count);
                for (size_t at = 0, n = first; at < count; at += n, n = n % 29 + 5) {
                    n = std::min(n, count - at);
                    k.firAccumulate(h.data(), taps, x.data() + at, plainSplit.data() + at, n);
                    k.firAccumulateSymmetric(h.data(), taps, x.data() + at, foldedSplit.data() + at, n);
                    k.firInterpolateFolded(h.data(), o.data(), taps, x.data() + at,
                                           doubledSplit.data() + 2 * at, n);
                }
                EXPECT_EQ(plain, plainSplit) << k.name << " taps " << taps << " first " << first;
                EXPECT_EQ(folded, foldedSplit) << k.name << " taps " << taps << " first " << first;
                EXPECT_EQ(doubled, doubledSplit) << k.name << " taps " << taps << " first " << first;
            }
        }
    }
}

class CCpuDispatchBuildsTest : public testing::Test {
protected:
    void SetUp() override {
        if (!CCpuDispatch::isSupported(CCpuDispatch::Avx2Fma))
            GTEST_SKIP() << "this processor lacks AVX2 or FMA";
    }
    const SDspKernels& generic = CCpuDispatch::kernels(CCpuDispatch::Generic);
    const SDspKernels& fast = CCpuDispatch::kernels(CCpuDispatch::Avx2Fma);
};

// The AVX2 build rounds fused multiply-adds once: results agree to a few units in the last place.
// Every size, from interleaved and from planar input (the fast build's fused first passes start at 16).
TEST_F(CCpuDispatchBuildsTest, ComplexFftsAgree) {
    EXPECT_STRNE(generic.name, fast.name);
    for (size_t m = 1; m <= 4096; m *= 2) {
        std::vector<double> twRe(m), twIm(m);
        for (size_t h = 1; h < m; h *= 2)
            for (size_t j = 0; j < h; ++j) {
                twRe[h + j] = std::cos(M_PI * double(j) / double(h));
                twIm[h + j] = -std::sin(M_PI * double(j) / double(h));
            }
        std::vector<uint32_t> bitReverse(m, 0);
        for (size_t n = 0, bits = size_t(std::log2(double(m))); n < m; ++n)
            for (size_t b = 0; b < bits; ++b)
                bitReverse[n] |= uint32_t(((n >> b) & 1) << (bits - 1 - b));
        const std::vector<double> pairs = noise(2 * m, 1);
        std::vector<double> zRe(m), zIm(m);
        for (size_t n = 0; n < m; ++n) {
            zRe[n] = pairs[2 * n];
            zIm[n] = pairs[2 * n + 1];
        }
        std::vector<double> re1(m), im1(m), re2(m), im2(m), re3(m), im3(m);
        generic.fft(pairs.data(), nullptr, bitReverse.data(), re1.data(), im1.data(), m, twRe.data(),
                    twIm.data());
        fast.fft(pairs.data(), nullptr, bitReverse.data(), re2.data(), im2.data(), m, twRe.data(),
                 twIm.data());
        fast.fft(zRe.data(), zIm.data(), bitReverse.data(), re3.data(), im3.data(), m, twRe.data(),
                 twIm.data());
        const double scale = std::sqrt(double(m));
        EXPECT_LE(maxDifference(re1, re2), 1e-14 * scale) << m;
        EXPECT_LE(maxDifference(im1, im2), 1e-14 * scale) << m;
        EXPECT_EQ(re2, re3) << m;
        EXPECT_EQ(im2, im3) << m;
        // Bin 1 against the definition.
        if (m >= 2) {
            double r = 0.0, i = 0.0;
            for (size_t n = 0; n < m; ++n) {
                const double c = std::cos(2 * M_PI * double(n) / double(m)),
                             s = -std::sin(2 * M_PI * double(n) / double(m));
                r += zRe[n] * c - zIm[n] * s;
                i += zRe[n] * s + zIm[n] * c;
            }
            EXPECT_NEAR(re2[1], r, 1e-12 * scale) << m;
            EXPECT_NEAR(im2[1], i, 1e-12 * scale) << m;
        }
        std::vector<double> out1(2 * m), out2(2 * m);
        generic.interleave(zRe.data(), zIm.data(), out1.data(), m);
        fast.interleave(zRe.data(), zIm.data(), out2.data(), m);
        EXPECT_EQ(out1, pairs) << m;
        EXPECT_EQ(out2, pairs) << m;
    }
}

TEST_F(CCpuDispatchBuildsTest, SpectrumProductsAgree) {
    // Sizes with and without bins left over after the eight-bin vectors, and a remainder of two spectra.
    for (size_t n : {2, 4, 6, 8, 16, 20, 64, 1026})
        for (size_t count : {1, 2, 5}) {
            const size_t stride = n + 3, m = n / 2;
            const std::vector<double> a = noise(count * stride, 1), b = noise(count * stride, 2);
            std::vector<double> s1(n), s2(n);
            generic.spectrumProducts(a.data(), b.data(), count, stride, s1.data(), n);
            fast.spectrumProducts(a.data(), b.data(), count, stride, s2.data(), n);
            EXPECT_LE(maxDifference(s1, s2), 1e-14) << n << " count " << count;
            // DC, Nyquist and the last bin by hand: the first two real, the last complex.
            double dc = 0.0, nyquist = 0.0, re = 0.0, im = 0.0;
            for (size_t j = 0; j < count; ++j) {
                const double* aj = a.data() + j * stride;
                const double* bj = b.data() + j * stride;
                dc += aj[0] * bj[0];
                nyquist += aj[m] * bj[m];
                re += aj[m - 1] * bj[m - 1] - aj[n - 1] * bj[n - 1];
                im += aj[m - 1] * bj[n - 1] + aj[n - 1] * bj[m - 1];
            }
            EXPECT_NEAR(s2[0], dc, 1e-14) << n;
            EXPECT_NEAR(s2[m], nyquist, 1e-14) << n;
            if (m > 1) {
                EXPECT_NEAR(s2[m - 1], re, 1e-14) << n;
                EXPECT_NEAR(s2[n - 1], im, 1e-14) << n;
            }
        }
}

// A resonant section (poles at radius 0.95) over noise. The fast build computes eight samples per step
// from the state before the step, rounding differently; the poles' gain (about 1 / (1 - 0.95)^2 = 400)
// carries that into the output, hence 1e-12 relative to the output's peak. In every build any split of
// the run into calls gives exactly the same values.
TEST_F(CCpuDispatchBuildsTest, BiquadLoopsAgreeUpToRoundingAndIgnoreBlockLengths) {
    const SBiquadSection c = {0.0011, 0.0022, 0.0011, -1.8981, 0.9025};
    const std::vector<double> x = noise(4096, 4);
    for (const SDspKernels* k : {&generic, &fast}) {
        std::vector<double> whole(x.size()), split = x;
        SBiquadState a, b;
        k->biquadProcess(c, a, x.data(), whole.data(), x.size());
        for (size_t at = 0, n = 1; at < x.size(); at += n, n = n % 13 + 3) {
            n = std::min(n, x.size() - at);
            k->biquadProcess(c, b, split.data() + at, split.data() + at, n);
        }
        EXPECT_EQ(whole, split) << k->name;
    }
    std::vector<double> a(x.size()), b(x.size());
    SBiquadState sa, sb;
    generic.biquadProcess(c, sa, x.data(), a.data(), x.size());
    fast.biquadProcess(c, sb, x.data(), b.data(), x.size());
    double peak = 0.0;
    for (double v : a)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.1);
    EXPECT_LE(maxDifference(a, b), 1e-12 * peak);
    EXPECT_NEAR(sa.w1, sb.w1, 1e-12 * peak);
    EXPECT_NEAR(sa.w2, sb.w2, 1e-12 * peak);
}

// The fast build computes four samples at a time with glibc's vector exp and log, within a few ulp of
// the scalar ones; the difference of two grid voltages in the output amplifies that, so the bound is
// relative to the grid-voltage scale of the output (|d * outScale| volts), 1e-12.
TEST_F(CCpuDispatchBuildsTest, TubeStageAgreesUpToRounding) {
    CKorenKernel kernel;
    CKorenKernel::SSettings s;
    s.voltage = 0.9;
    s.current = 0.7;
    s.mode = 1.0;
    kernel.update(s);
    const std::vector<double> x = noise(4096, 1), y = noise(4096, 2);
    std::vector<double> a(x.size()), b(x.size());
    generic.korenProcess(kernel.coefficients(), x.data(), y.data(), a.data(), x.size());
    fast.korenProcess(kernel.coefficients(), x.data(), y.data(), b.data(), x.size());
    const double scale = std::fabs(kernel.coefficients().outScale * kernel.coefficients().Eg0);
    for (size_t i = 0; i < x.size(); ++i) {
        const double d = std::max(std::hypot(x[i], y[i]), 1.0);
        ASSERT_NEAR(a[i], b[i], 1e-12 * d * scale) << i;
    }
    // Silence stays exactly silent and the last samples of a block match the lanes of a full one.
    const std::vector<double> zeros(7, 0.0);
    std::vector<double> silent(7, 1.0), part(7);
    fast.korenProcess(kernel.coefficients(), zeros.data(), zeros.data(), silent.data(), 7);
    EXPECT_EQ(silent, zeros);
    fast.korenProcess(kernel.coefficients(), x.data(), y.data(), part.data(), 7);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(part[i], b[i]);
}

} // namespace
} // namespace qel
