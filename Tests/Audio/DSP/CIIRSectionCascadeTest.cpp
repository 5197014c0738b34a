#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "Audio/DSP/CIIRSectionCascade.h"

namespace qel {
namespace {

constexpr double kPi = std::numbers::pi;

CBiquadSectionList listOf(std::initializer_list<SBiquadSection> sections) {
    CBiquadSectionList list;
    for (const SBiquadSection& s : sections)
        list.append(s);
    return list;
}

SBiquadSection gainSection(double g) {
    return {g, 0.0, 0.0, 0.0, 0.0};
}

// A resonant low-pass (poles at radius 0.95) and a notch-like section with unity DC gain.
const SBiquadSection kResonant = {0.0011, 0.0022, 0.0011, -1.8981, 0.9025};
const SBiquadSection kSecond = {0.5, 0.3, 0.2, -0.4, 0.1};

std::vector<double> noise(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x)
        v = dist(rng);
    return x;
}

// Direct form I, one sample at a time: an implementation of the same transfer function that shares
// nothing with the cascade's.
std::vector<double> referenceFilter(const std::vector<SBiquadSection>& sections, std::vector<double> x) {
    for (const SBiquadSection& c : sections) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : x) {
            const double y = c.b0 * v + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    return x;
}

std::complex<double> response(const std::vector<SBiquadSection>& sections, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    std::complex<double> h = 1.0;
    for (const SBiquadSection& c : sections)
        h *= (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
    return h;
}

// Runs the input through in blocks of the given sizes (cycled), in place.
std::vector<double> runBlocks(CIIRSectionCascade& cascade, std::vector<double> x, std::vector<int> sizes) {
    size_t pos = 0;
    for (size_t k = 0; pos < x.size(); ++k) {
        const int n = std::min<int>(sizes[k % sizes.size()], int(x.size() - pos));
        cascade.process(x.data() + pos, x.data() + pos, n);
        pos += size_t(n);
    }
    return x;
}

TEST(CIIRSectionCascadeTest, MatchesAnIndependentFilterAcrossBlocksAndInPlace) {
    const std::vector<SBiquadSection> design = {kResonant, kSecond};
    const std::vector<double> x = noise(4000, 1);
    const std::vector<double> expected = referenceFilter(design, x);

    CIIRSectionCascade whole;
    whole.setSections(listOf({kResonant, kSecond}));
    std::vector<double> out(x.size());
    whole.process(x.data(), out.data(), int32_t(x.size()));

    CIIRSectionCascade split;
    split.setSections(listOf({kResonant, kSecond}));
    const std::vector<double> pieces = runBlocks(split, x, {1, 7, 64, 3, 512});

    for (size_t i = 0; i < x.size(); ++i) {
        ASSERT_NEAR(out[i], expected[i], 1e-12) << i;
        ASSERT_EQ(pieces[i], out[i]) << i;
    }
}

TEST(CIIRSectionCascadeTest, SteadySineFollowsTheSectionResponse) {
    const std::vector<SBiquadSection> design = {kResonant, kSecond};
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({kResonant, kSecond}));
    for (double w : {0.02, 0.05, 0.3, 1.5}) {
        cascade.reset();
        std::vector<double> x(20000);
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = std::sin(w * double(i));
        const std::vector<double> y = runBlocks(cascade, x, {256});
        const std::complex<double> h = response(design, w);
        for (size_t i = 15000; i < x.size(); i += 97)
            ASSERT_NEAR(y[i], std::abs(h) * std::sin(w * double(i) + std::arg(h)), 1e-9) << w;
    }
}

TEST(CIIRSectionCascadeTest, EmptyCascadePassesThrough) {
    CIIRSectionCascade cascade;
    const std::vector<double> x = noise(100, 2);
    std::vector<double> y(x.size());
    cascade.process(x.data(), y.data(), int32_t(x.size()));
    EXPECT_EQ(y, x);
    EXPECT_EQ(cascade.sectionCount(), 0);
}

// With pure gain sections the cross-fade has a closed form: old output g0 x, mixed (u g0 + v g1) x.
double fadedGain(double g0, double g1, int n, int length) {
    const double e = 0.5 * std::cos(kPi * n / length);
    const double u = e + 0.5;
    const double v = 0.5 - e;
    return u * g0 + v * (u * g0 + v * g1);
}

TEST(CIIRSectionCascadeTest, CoefficientChangeFollowsTheRaisedCosine) {
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({gainSection(1.0)}));
    std::vector<double> ones(10, 1.0);
    runBlocks(cascade, ones, {10});

    const int length = 100;
    cascade.morphTo(listOf({gainSection(3.0)}), length);
    EXPECT_TRUE(cascade.isFading());
    // A fade that starts inside a host block and spans several sub-blocks.
    const std::vector<double> y = runBlocks(cascade, std::vector<double>(300, 1.0), {37, 64, 5});
    EXPECT_DOUBLE_EQ(y[0], 1.0);
    for (int n = 0; n < length; ++n)
        ASSERT_NEAR(y[size_t(n)], fadedGain(1.0, 3.0, n, length), 1e-12) << n;
    for (size_t n = length; n < y.size(); ++n)
        ASSERT_EQ(y[n], 3.0) << n;
    EXPECT_FALSE(cascade.isFading());
    EXPECT_EQ(cascade.section(0).b0, 3.0);
}

TEST(CIIRSectionCascadeTest, ChangesDuringAFadeWaitAndOnlyTheLatestIsKept) {
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({gainSection(1.0)}));
    const int first = 40;
    const int second = 25;
    cascade.morphTo(listOf({gainSection(2.0)}), first);
    std::vector<double> y = runBlocks(cascade, std::vector<double>(10, 1.0), {10});
    cascade.morphTo(listOf({gainSection(5.0)}), 60);
    cascade.morphTo(listOf({gainSection(4.0)}), second);
    EXPECT_TRUE(cascade.hasPending());
    // The pending fade starts the very sample the first one ends, with a fresh oscillator.
    const std::vector<double> rest = runBlocks(cascade, std::vector<double>(90, 1.0), {16});
    y.insert(y.end(), rest.begin(), rest.end());
    for (int n = 0; n < first; ++n)
        ASSERT_NEAR(y[size_t(n)], fadedGain(1.0, 2.0, n, first), 1e-12) << n;
    for (int n = 0; n < second; ++n)
        ASSERT_NEAR(y[size_t(first + n)], fadedGain(2.0, 4.0, n, second), 1e-12) << n;
    for (size_t n = first + second; n < y.size(); ++n)
        ASSERT_EQ(y[n], 4.0) << n;
    EXPECT_FALSE(cascade.hasPending());
}

TEST(CIIRSectionCascadeTest, MissingSectionsActAsPassThroughSections) {
    // A cascade that grows and shrinks matches one padded with explicit pass-through sections, including
    // a pending design that starts inside a block.
    const SBiquadSection pass = SBiquadSection::identity();
    const std::vector<double> x = noise(3000, 5);
    CIIRSectionCascade grows;
    CIIRSectionCascade padded;
    padded.setSections(listOf({pass, pass, pass}));
    std::vector<double> a(x.size());
    std::vector<double> b(x.size());
    auto run = [&](int32_t from, int32_t to) {
        grows.process(x.data() + from, a.data() + from, to - from);
        padded.process(x.data() + from, b.data() + from, to - from);
    };
    run(0, 500);
    grows.morphTo(listOf({kResonant}), 100);
    padded.morphTo(listOf({kResonant, pass, pass}), 100);
    run(500, 1000);
    EXPECT_EQ(grows.sectionCount(), 1);
    grows.morphTo(listOf({kResonant, kSecond}), 50);
    padded.morphTo(listOf({kResonant, kSecond, pass}), 50);
    run(1000, 1500);
    grows.morphTo(listOf({kSecond}), 70);
    padded.morphTo(listOf({kSecond, pass, pass}), 70);
    run(1500, 2000);
    EXPECT_EQ(grows.sectionCount(), 1);
    grows.morphTo(listOf({kSecond, kResonant}), 30);
    grows.morphTo(listOf({kResonant, kSecond, kResonant}), 40);
    padded.morphTo(listOf({kSecond, kResonant, pass}), 30);
    padded.morphTo(listOf({kResonant, kSecond, kResonant}), 40);
    run(2000, 3000);
    EXPECT_EQ(grows.sectionCount(), 3);
    // Equal but for the rounding of the pass-through sections' u + v.
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(a[i], b[i], 1e-12) << i;
}

TEST(CIIRSectionCascadeTest, GrowingAndShrinkingOnASineHasNoJumps) {
    // The output bends (second difference) no more than a slow sine and the resonance's own transient
    // do; swapping the designs outright bends it by about 0.8.
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({kSecond}));
    std::vector<double> x(6000);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::sin(0.01 * double(i));
    std::vector<double> out(x.size());
    cascade.process(x.data(), out.data(), 1000);
    cascade.morphTo(listOf({kSecond, kResonant}), 200);
    cascade.process(x.data() + 1000, out.data() + 1000, 2500);
    cascade.morphTo(listOf({kSecond}), 200);
    cascade.process(x.data() + 3500, out.data() + 3500, 2500);
    for (size_t i = 500; i < out.size(); ++i)
        ASSERT_LT(std::abs(out[i] - 2.0 * out[i - 1] + out[i - 2]), 0.02) << i;
}

TEST(CIIRSectionCascadeTest, RevivedSectionsDoNotReuseStaleState) {
    // Section 0 is FIR only, so silence gives exact zeros once it has flushed; the resonant section
    // rings on its old state if it is ever revived with it.
    const SBiquadSection fir = {0.5, 0.25, 0.25, 0.0, 0.0};
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({fir, kResonant}));
    runBlocks(cascade, noise(500, 3), {100});
    cascade.morphTo(listOf({fir}), 10);
    runBlocks(cascade, std::vector<double>(100, 0.0), {100});
    cascade.morphTo(listOf({fir, kResonant}), 10);
    for (double v : runBlocks(cascade, std::vector<double>(100, 0.0), {100}))
        ASSERT_EQ(v, 0.0);
    cascade.setSections(listOf({fir}));
    runBlocks(cascade, std::vector<double>(10, 0.0), {10});
    cascade.setSections(listOf({fir, kResonant}));
    for (double v : runBlocks(cascade, std::vector<double>(100, 0.0), {100}))
        ASSERT_EQ(v, 0.0);
}

TEST(CIIRSectionCascadeTest, ResetClearsStateAndSettlesAFade) {
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({kResonant}));
    runBlocks(cascade, noise(300, 4), {300});
    cascade.reset();
    for (double v : runBlocks(cascade, std::vector<double>(50, 0.0), {50}))
        ASSERT_EQ(v, 0.0);

    cascade.morphTo(listOf({gainSection(2.0)}), 100);
    runBlocks(cascade, std::vector<double>(10, 1.0), {10});
    cascade.morphTo(listOf({gainSection(3.0), gainSection(0.5)}), 100);
    cascade.reset();
    EXPECT_FALSE(cascade.isFading());
    EXPECT_FALSE(cascade.hasPending());
    ASSERT_EQ(cascade.sectionCount(), 2);
    for (double v : runBlocks(cascade, std::vector<double>(20, 1.0), {20}))
        ASSERT_EQ(v, 1.5);
}

TEST(CIIRSectionCascadeTest, ImmediateReplacementDropsFades) {
    CIIRSectionCascade cascade;
    cascade.morphTo(listOf({gainSection(2.0)}), 100);
    cascade.morphTo(listOf({gainSection(4.0)}), 100);
    cascade.setSections(listOf({gainSection(0.25)}));
    EXPECT_FALSE(cascade.isFading());
    EXPECT_FALSE(cascade.hasPending());
    for (double v : runBlocks(cascade, std::vector<double>(200, 1.0), {64}))
        ASSERT_EQ(v, 0.25);
    // A length below one sample still fades through one sample of the old filter.
    cascade.morphTo(listOf({gainSection(1.0)}), 0);
    const std::vector<double> y = runBlocks(cascade, std::vector<double>(3, 1.0), {3});
    EXPECT_EQ(y, (std::vector<double>{0.25, 1.0, 1.0}));
}

} // namespace
} // namespace qel
