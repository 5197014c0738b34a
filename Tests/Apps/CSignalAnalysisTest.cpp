#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "emberline-render/CDemoPassage.h"
#include "emberline-render/CSignalAnalysis.h"
#include "emberline-render/CTestSignal.h"

namespace qel {
namespace {

// A sine with given harmonic amplitudes (index 0 is the fundamental), from frame start on.
std::vector<double> harmonicSine(double rate, double frequency, const std::vector<double>& amplitudes,
                                 size_t frames, size_t start = 0) {
    std::vector<double> samples(frames, 0.0);
    for (size_t i = start; i < frames; ++i)
        for (size_t h = 0; h < amplitudes.size(); ++h)
            samples[i] += amplitudes[h] * std::sin(2 * std::numbers::pi * frequency * double(h + 1) *
                                                   double(i - start) / rate);
    return samples;
}

TEST(CSignalAnalysisTest, MeasuresPeakAndRmsOverFiniteSamples) {
    std::vector<double> samples = {0.5, -1.0, std::numeric_limits<double>::quiet_NaN(), 0.5,
                                   std::numeric_limits<double>::infinity()};
    SLevels levels = CSignalAnalysis::levels(samples);
    EXPECT_EQ(levels.peak, 1.0);
    EXPECT_DOUBLE_EQ(levels.rms, std::sqrt(1.5 / 3));
    EXPECT_EQ(CSignalAnalysis::levels({}).rms, 0);
    EXPECT_NEAR(CSignalAnalysis::toDb(0.5), -6.0206, 1e-4);
    EXPECT_EQ(CSignalAnalysis::toDb(0), -std::numeric_limits<double>::infinity());
}

TEST(CSignalAnalysisTest, CountsSpecialValuesInTheirOwnPrecision) {
    const float floats[] = {
        1e-40f, std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity(), 1e-30f, 0.f,
        1e-39f};
    SSpecialCounts counts;
    CSignalAnalysis::countSpecial(floats, std::size(floats), counts);
    EXPECT_EQ(counts.nan, 1u);
    EXPECT_EQ(counts.inf, 1u);
    EXPECT_EQ(counts.subnormal, 2u);
    // 1e-40 is subnormal as a float but normal as a double.
    const double doubles[] = {1e-40, 1e-310};
    SSpecialCounts doubleCounts;
    CSignalAnalysis::countSpecial(doubles, std::size(doubles), doubleCounts);
    EXPECT_EQ(doubleCounts.subnormal, 1u);
}

TEST(CSignalAnalysisTest, MeasuresHarmonicsRelativeToTheFundamental) {
    // 997 Hz at 44.1 kHz: no whole number of samples per period.
    for (double rate : {48000.0, 44100.0}) {
        double frequency = rate == 48000 ? 1000 : 997;
        auto samples = harmonicSine(rate, frequency, {0.5, 0.005, 0.0005, 0, 0.05}, size_t(rate / 2));
        auto profile = CSignalAnalysis::harmonics(samples, rate, frequency, 0, samples.size());
        ASSERT_TRUE(profile);
        EXPECT_NEAR(profile->fundamentalDbfs, -6.0206, 0.01) << rate;
        EXPECT_NEAR(*profile->relativeDb[0], -40, 0.05) << rate;
        EXPECT_NEAR(*profile->relativeDb[1], -60, 0.1) << rate;
        EXPECT_LT(*profile->relativeDb[2], -120) << rate;
        EXPECT_NEAR(*profile->relativeDb[3], -20, 0.05) << rate;
    }
}

TEST(CSignalAnalysisTest, AnalysesOnlyTheGivenSpanAndBelowNyquist) {
    // Silence and a loud other tone before the span must not leak in.
    const double rate = 48000;
    auto samples = harmonicSine(rate, 10000, {0.25, 0.025}, 24000, 12000);
    for (size_t i = 0; i < 12000; ++i)
        samples[i] = 0.9 * std::sin(2 * std::numbers::pi * 3000 * double(i) / rate);
    auto profile = CSignalAnalysis::harmonics(samples, rate, 10000, 12000, 24000);
    ASSERT_TRUE(profile);
    EXPECT_NEAR(profile->fundamentalDbfs, -12.04, 0.01);
    EXPECT_NEAR(*profile->relativeDb[0], -20, 0.05);
    EXPECT_FALSE(profile->relativeDb[1]); // 30 kHz
    EXPECT_FALSE(profile->relativeDb[3]);

    EXPECT_FALSE(CSignalAnalysis::harmonics(samples, rate, 10000, 23990, 24000)); // under 8 periods
    EXPECT_FALSE(CSignalAnalysis::harmonics(samples, rate, 10000, 100, 50));
    EXPECT_FALSE(CSignalAnalysis::harmonics(std::vector<double>(4800, 0.0), rate, 1000, 0, 4800));
}

TEST(CTestSignalTest, GeneratesExactDeterministicSignals) {
    SSignal sine = CTestSignal::sine(48000, 3, 0.5, 1000, -6);
    ASSERT_EQ(sine.audio.channels.size(), 3u);
    EXPECT_EQ(sine.audio.frames(), 24000u);
    EXPECT_NEAR(CSignalAnalysis::levels(sine.audio.channels[2]).peak, std::pow(10, -6.0 / 20), 1e-9);
    ASSERT_TRUE(sine.tone);
    EXPECT_EQ(sine.tone->frequency, 1000);
    EXPECT_EQ(sine.tone->end, 24000u);

    SSignal impulse = CTestSignal::impulse(44100, 2, 1);
    EXPECT_EQ(impulse.audio.rate, 44100);
    EXPECT_EQ(impulse.audio.channels[1][0], 1.0);
    EXPECT_EQ(CSignalAnalysis::levels(impulse.audio.channels[1]).rms, std::sqrt(1.0 / 44100));

    SSignal noise = CTestSignal::noise(48000, 2, 3, -20);
    EXPECT_NEAR(CSignalAnalysis::toDb(CSignalAnalysis::levels(noise.audio.channels[0]).rms), -20, 0.1);
    EXPECT_NEAR(CSignalAnalysis::toDb(CSignalAnalysis::levels(noise.audio.channels[1]).rms), -20, 0.1);
    EXPECT_NE(noise.audio.channels[0], noise.audio.channels[1]);
    EXPECT_EQ(CTestSignal::noise(48000, 2, 3, -20).audio.channels, noise.audio.channels);
}

TEST(CDemoPassageTest, PeaksAtMinusSixAndEndsInTheTestTone) {
    SSignal demo = CDemoPassage::render(48000, 2);
    ASSERT_EQ(demo.audio.channels.size(), 2u);
    double seconds = double(demo.audio.frames()) / 48000;
    EXPECT_GT(seconds, 8);
    EXPECT_LT(seconds, 10.5);
    ASSERT_TRUE(demo.tone);
    EXPECT_EQ(demo.tone->frequency, 1000);
    EXPECT_EQ(demo.tone->end, demo.audio.frames());
    EXPECT_NEAR(double(demo.tone->end - demo.tone->start) / 48000, 1.0, 1e-9);

    double passagePeak = 0;
    for (const auto& channel : demo.audio.channels) {
        std::vector<double> passage(channel.begin(), channel.begin() + long(demo.tone->start));
        passagePeak = std::max(passagePeak, CSignalAnalysis::levels(passage).peak);
        EXPECT_GT(CSignalAnalysis::toDb(CSignalAnalysis::levels(passage).rms), -30);
        auto tone = CSignalAnalysis::harmonics(channel, 48000, 1000, demo.tone->start, demo.tone->end);
        ASSERT_TRUE(tone);
        EXPECT_NEAR(tone->fundamentalDbfs, -6.02, 0.01);
        EXPECT_LT(*tone->relativeDb[0], -100);
    }
    EXPECT_NEAR(CSignalAnalysis::toDb(passagePeak), -6.02, 0.01);
    // Stereo: chord voices are panned.
    EXPECT_NE(demo.audio.channels[0], demo.audio.channels[1]);
    EXPECT_EQ(CDemoPassage::render(48000, 2).audio.channels, demo.audio.channels);

    SSignal mono = CDemoPassage::render(44100, 1);
    ASSERT_EQ(mono.audio.channels.size(), 1u);
    EXPECT_EQ(mono.audio.rate, 44100);
}

} // namespace
} // namespace qel
