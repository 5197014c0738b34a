#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "Audio/DSP/CIIRSectionCascade.h"
#include "Support/Noise.h"

namespace qel {
namespace {

CBiquadSectionList listOf(std::initializer_list<SBiquadSection> sections) {
    CBiquadSectionList list;
    for (const SBiquadSection& s : sections)
        list.append(s);
    return list;
}

SBiquadSection gain(double g) {
    return {g, 0.0, 0.0, 0.0, 0.0};
}

// A resonant low-pass (poles at radius 0.95, unity at DC) and a plain second-order section.
const SBiquadSection kResonant = {0.0011, 0.0022, 0.0011, -1.8981, 0.9025};
const SBiquadSection kSecond = {0.5, 0.3, 0.2, -0.4, 0.1};
const SBiquadSection kPass = SBiquadSection::identity();

using test::noise;

// Runs x in place in blocks of the given sizes, cycled.
std::vector<double> runBlocks(CIIRSectionCascade& cascade, std::vector<double> x, std::vector<int> sizes) {
    size_t pos = 0;
    for (size_t k = 0; pos < x.size(); ++k) {
        const int n = std::min<int>(sizes[k % sizes.size()], int(x.size() - pos));
        cascade.process(x.data() + pos, x.data() + pos, n);
        pos += size_t(n);
    }
    return x;
}

std::vector<double> constant(size_t n, double value) {
    return std::vector<double>(n, value);
}

TEST(CIIRSectionCascadeTest, MatchesDirectFormOneAcrossBlocks) {
    const std::vector<double> x = noise(4000, 1);
    std::vector<double> expected = x;
    for (const SBiquadSection& c : {kResonant, kSecond}) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : expected) {
            const double y = c.b0 * v + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
            x2 = x1, x1 = v, y2 = y1, y1 = y, v = y;
        }
    }
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

// With gain sections the cross-fade has a closed form: old output g0 x, mixed (u g0 + v g1) x.
double faded(double g0, double g1, int n, int length) {
    const double e = 0.5 * std::cos(M_PI * n / length);
    return (e + 0.5) * g0 + (0.5 - e) * ((e + 0.5) * g0 + (0.5 - e) * g1);
}

TEST(CIIRSectionCascadeTest, ChangesFollowTheRaisedCosineAndWaitForTheRunningOne) {
    CIIRSectionCascade cascade;
    cascade.setSections(listOf({gain(1.0)}));
    cascade.morphTo(listOf({gain(3.0)}), 100);
    // Across sub-blocks of any size.
    std::vector<double> y = runBlocks(cascade, constant(150, 1.0), {37, 64, 5});
    for (int n = 0; n < 100; ++n)
        ASSERT_NEAR(y[size_t(n)], faded(1.0, 3.0, n, 100), 1e-12) << n;
    EXPECT_EQ(y[100], 3.0);
    EXPECT_EQ(y.back(), 3.0);

    // Only the latest change made during a fade is kept; it starts the sample the fade ends, with a
    // fresh oscillator.
    cascade.morphTo(listOf({gain(2.0)}), 40);
    y = runBlocks(cascade, constant(10, 1.0), {10});
    cascade.morphTo(listOf({gain(5.0)}), 60);
    cascade.morphTo(listOf({gain(4.0)}), 25);
    EXPECT_TRUE(cascade.isFading() && cascade.hasPending());
    const std::vector<double> rest = runBlocks(cascade, constant(90, 1.0), {16});
    y.insert(y.end(), rest.begin(), rest.end());
    for (int n = 0; n < 40; ++n)
        ASSERT_NEAR(y[size_t(n)], faded(3.0, 2.0, n, 40), 1e-12) << n;
    for (int n = 0; n < 25; ++n)
        ASSERT_NEAR(y[size_t(40 + n)], faded(2.0, 4.0, n, 25), 1e-12) << n;
    EXPECT_EQ(y.back(), 4.0);
    EXPECT_FALSE(cascade.isFading() || cascade.hasPending());
}

TEST(CIIRSectionCascadeTest, MissingSectionsActAsPassThroughSections) {
    // Growing and shrinking matches a cascade padded with pass-through sections, whose state is the
    // signal they pass, including after a shrink (no stale state) and for a pending design started
    // inside a block.
    const std::vector<double> x = noise(3000, 5);
    CIIRSectionCascade grows;
    CIIRSectionCascade padded;
    padded.setSections(listOf({kPass, kPass, kPass}));
    std::vector<double> a(x.size()), b(x.size());
    auto run = [&](int32_t from, int32_t to) {
        grows.process(x.data() + from, a.data() + from, to - from);
        padded.process(x.data() + from, b.data() + from, to - from);
    };
    auto morph = [&](std::initializer_list<SBiquadSection> design, int32_t length) {
        grows.morphTo(listOf(design), length);
        std::vector<SBiquadSection> filled(design);
        filled.resize(3, kPass);
        padded.morphTo(listOf({filled[0], filled[1], filled[2]}), length);
    };
    run(0, 500);
    morph({kResonant}, 100);
    run(500, 1000);
    morph({kResonant, kSecond}, 50);
    run(1000, 1500);
    morph({kSecond}, 70);
    run(1500, 2000);
    EXPECT_EQ(grows.sectionCount(), 1);
    morph({kSecond, kResonant}, 30);
    morph({kResonant, kSecond, kResonant}, 40);
    run(2000, 3000);
    EXPECT_EQ(grows.sectionCount(), 3);
    // Equal but for the rounding of u + v in the pass-through sections.
    for (size_t i = 0; i < x.size(); ++i)
        ASSERT_NEAR(a[i], b[i], 1e-12) << i;
}

TEST(CIIRSectionCascadeTest, ResetAndImmediateReplacement) {
    CIIRSectionCascade cascade;
    EXPECT_EQ(runBlocks(cascade, {0.5, -2.0}, {2}), (std::vector<double>{0.5, -2.0}));
    cascade.setSections(listOf({kResonant}));
    runBlocks(cascade, noise(300, 4), {300});
    cascade.reset();
    EXPECT_EQ(runBlocks(cascade, constant(50, 0.0), {50}), constant(50, 0.0));

    // A reset ends a fade on the pending design.
    cascade.morphTo(listOf({gain(2.0)}), 100);
    cascade.morphTo(listOf({gain(3.0), gain(0.5)}), 100);
    cascade.reset();
    EXPECT_FALSE(cascade.isFading() || cascade.hasPending());
    EXPECT_EQ(runBlocks(cascade, constant(20, 1.0), {20}), constant(20, 1.5));

    // Immediate replacement drops both the fade and the pending design.
    cascade.morphTo(listOf({gain(2.0)}), 100);
    cascade.morphTo(listOf({gain(4.0)}), 100);
    cascade.setSections(listOf({gain(0.25)}));
    EXPECT_EQ(runBlocks(cascade, constant(200, 1.0), {64}), constant(200, 0.25));
    // A fade shorter than a sample still takes one sample of the old design.
    cascade.morphTo(listOf({gain(1.0)}), 0);
    EXPECT_EQ(runBlocks(cascade, constant(3, 1.0), {3}), (std::vector<double>{0.25, 1.0, 1.0}));
}

} // namespace
} // namespace qel
