#include <numbers>

#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/FilterGenTree.h"

namespace qel::test {
namespace {

constexpr double kPi = std::numbers::pi;
using Complex = std::complex<double>;

// The cookbook's analogue prototypes, s normalised to the centre frequency.
Complex prototype(int type, Complex s, double Q, double A) {
    const double k = std::sqrt(A) / Q;
    const Complex d = s * s + s / Q + 1.0;
    const Complex numerators[] = {1.0, s * s, s / Q, s, s * s + 1.0, s * s - s / Q + 1.0};
    if (type < 6) return numerators[type] / d;
    if (type == 6) return (s * s + s * (A / Q) + 1.0) / (s * s + s / (A * Q) + 1.0);
    if (type == 7) return A * (s * s + k * s + A) / (A * s * s + k * s + 1.0);
    return A * (A * s * s + k * s + 1.0) / (s * s + k * s + A);
}

TEST_F(FilterGenTreeTest, RbjTypesAreTheirAnaloguePrototypesThroughThePrewarpedBilinearMap) {
    const double fs = 48000.0;
    for (int type = 0; type <= 8; ++type) {
        const std::string text = std::to_string(type);
        auto* generator =
            gen("audio:fltgen-rbj", ("rbj" + text).c_str(), {{"type", text.c_str()}, {"is-q", "true"}});
        for (double f0 : {60.0, 1000.0, 15000.0})
            for (double gain : {0.25, 2.0})
                for (double Q : {0.5, 4.0}) {
                    const CBiquadSectionList s =
                        run(*generator, values({{"freq", f0}, {"gain", gain}, {"bw", Q}}), fs);
                    ASSERT_EQ(s.count(), 1);
                    for (double w = 0.001; w < kPi; w *= 1.3) {
                        const Complex expected =
                            prototype(type, Complex(0.0, std::tan(w / 2) / std::tan(kPi * f0 / fs)), Q,
                                      std::sqrt(gain));
                        ASSERT_LT(std::abs(response(s, w) - expected), 1e-9 * (1.0 + std::abs(expected)))
                            << type << " " << f0 << " " << gain << " " << Q << " " << w;
                    }
                }
    }
}

// The frequencies below and above w0 where the magnitude crosses level, by bisection.
std::pair<double, double> edges(const CBiquadSectionList& s, double w0, double level) {
    auto cross = [&](double lo, double hi) {
        const bool loAbove = std::abs(response(s, lo)) > level;
        for (int i = 0; i < 100; ++i)
            ((std::abs(response(s, (lo + hi) / 2)) > level) == loAbove ? lo : hi) = (lo + hi) / 2;
        return lo;
    };
    return {cross(1e-9, w0), cross(w0, kPi)};
}

TEST_F(FilterGenTreeTest, RbjWidthSlotModes) {
    const double fs = 44100.0;
    // Octaves: a band-pass's -3 dB edges lie the bandwidth apart.
    auto* bandPass = gen("audio:fltgen-rbj", "bp", {{"type", "2"}});
    EXPECT_EQ(slots(*bandPass), (std::vector<CString>{"freq", "bw"}));
    for (double f0 : {100.0, 5000.0})
        for (double octaves : {0.5, 2.0}) {
            const auto [lo, hi] = edges(run(*bandPass, values({{"freq", f0}, {"bw", octaves}}), fs),
                                        2 * kPi * f0 / fs, std::sqrt(0.5));
            EXPECT_NEAR(std::log2(hi / lo), octaves, 0.03 * octaves) << f0 << " " << octaves;
        }
    // Q from the gain slot: a low-pass peaks at Q; a shelf then stays flat.
    auto* lowPass = gen("audio:fltgen-rbj", "lp", {{"type", "0"}, {"is-gain-q", "true"}});
    EXPECT_EQ(slots(*lowPass), (std::vector<CString>{"freq", "gain"}));
    EXPECT_NEAR(
        magnitudeAt(run(*lowPass, values({{"freq", 2000.0}, {"gain", 3.0}, {"bw", 9.0}}), fs), 2000.0, fs),
        3.0, 1e-9);
    auto* flat = gen("audio:fltgen-rbj", "ls", {{"type", "7"}, {"is-gain-q", "true"}});
    EXPECT_NEAR(magnitudeAt(run(*flat, values({{"freq", 500.0}, {"gain", 4.0}}), fs), 20.0, fs), 1.0, 1e-12);
    // Shelf slope 1 is the Q of 1/sqrt(2): the steepest shelf without overshoot.
    auto* slope = gen("audio:fltgen-rbj", "hs2", {{"type", "8"}, {"is-type2", "true"}});
    auto* q = gen("audio:fltgen-rbj", "hsq", {{"type", "8"}, {"is-q", "true"}});
    const CBiquadSectionList s1 = run(*slope, values({{"freq", 3000.0}, {"gain", 8.0}, {"bw", 1.0}}), fs);
    const CBiquadSectionList q1 =
        run(*q, values({{"freq", 3000.0}, {"gain", 8.0}, {"bw", std::sqrt(0.5)}}), fs);
    for (double w = 0.01; w < kPi; w += 0.1)
        EXPECT_NEAR(std::abs(response(s1, w) - response(q1, w)), 0.0, 1e-12);
    const CBiquadSectionList gentle = run(*slope, values({{"freq", 3000.0}, {"gain", 8.0}, {"bw", 0.3}}), fs);
    EXPECT_GT(magnitudeAt(gentle, 1000.0, fs), magnitudeAt(s1, 1000.0, fs));
}

TEST_F(FilterGenTreeTest, RbjUnityShelvesInversionAndAllPassRadius) {
    const double fs = 44100.0;
    for (const char* type : {"7", "8"}) {
        const CBiquadSectionList s = run(*gen("audio:fltgen-rbj", type, {{"type", type}}),
                                         values({{"freq", 2830.0}, {"gain", 1.0}, {"bw", 3.1}}), fs);
        ASSERT_EQ(s.count(), 1);
        EXPECT_EQ(s[0].b0, 1.0);
        EXPECT_EQ(s[0].b1, s[0].a1);
        EXPECT_EQ(s[0].b2, s[0].a2);
    }
    const CAudioFilterParams p = values({{"freq", 800.0}, {"gain", 2.0}, {"bw", 0.8}});
    for (const char* type : {"1", "6"}) {
        const std::string name = std::string("plain") + type;
        const Complex plain =
            response(run(*gen("audio:fltgen-rbj", name.c_str(), {{"type", type}}), p, fs), 0.3);
        const Complex inverted = response(
            run(*gen("audio:fltgen-rbj", ("inv" + name).c_str(), {{"type", type}, {"is-inverted", "true"}}),
                p, fs),
            0.3);
        EXPECT_NEAR(std::abs(inverted - (type[0] == '6' ? plain : -plain)), 0.0, 1e-12) << type;
    }
    const double r = 0.9;
    const CBiquadSectionList s =
        run(*gen("audio:fltgen-rbj", "ap", {{"type", "9"}}), values({{"freq", 5000.0}, {"bw", r}}), fs);
    for (double w = 0.01; w < kPi; w += 0.1)
        EXPECT_NEAR(std::abs(response(s, w)), 1.0, 1e-12);
    const Complex pole = std::polar(r, 2 * kPi * 5000.0 / fs);
    EXPECT_NEAR(std::abs(1.0 + s[0].a1 / pole + s[0].a2 / (pole * pole)), 0.0, 1e-12);
}

TEST_F(FilterGenTreeTest, NyquistMatchedPeakingKeepsItsWidthAndShape) {
    const double fs = 44100.0;
    auto* matched = gen("audio:fltgen-magnus", "peakB", {{"type", "1"}});
    auto* bilinear = gen("audio:fltgen-magnus", "peakA", {{"type", "0"}});
    auto* rbj10 = gen("audio:fltgen-rbj", "peak10", {{"type", "10"}});
    auto* rbj6 = gen("audio:fltgen-rbj", "peak6", {{"type", "6"}});
    EXPECT_EQ(slots(*matched), (std::vector<CString>{"freq", "gain", "bw"}));
    for (double f0 : {200.0, 12000.0})
        for (double gain : {0.2, 3.0})
            for (double octaves : {0.5, 1.5}) {
                const CAudioFilterParams p = values({{"freq", f0}, {"gain", gain}, {"bw", octaves}});
                const CBiquadSectionList s = run(*matched, p, fs);
                const double w0 = 2 * kPi * f0 / fs;
                EXPECT_NEAR(std::abs(response(s, w0)), gain, 1e-9 * gain);
                EXPECT_NEAR(std::abs(response(s, 0.0)), 1.0, 1e-9);
                const auto [lo, hi] = edges(s, w0, std::sqrt(gain));
                EXPECT_NEAR(hi - lo, w0 * (std::exp2(octaves / 2) - std::exp2(-octaves / 2)), 1e-6);
                // Not pinned to unity at Nyquist, unlike the bilinear design.
                EXPECT_EQ(std::abs(response(s, kPi)) > 1.0, gain > 1.0);
                EXPECT_NEAR(std::abs(response(run(*bilinear, p, fs), kPi)), 1.0, 1e-9);
                EXPECT_NEAR(std::abs(response(run(*rbj10, p, fs), 1.0) - response(s, 1.0)), 0.0, 1e-12);
                EXPECT_NEAR(std::abs(response(run(*rbj6, p, fs), 1.0) - response(run(*bilinear, p, fs), 1.0)),
                            0.0, 1e-12);
            }
    EXPECT_EQ(std::abs(response(run(*matched, values({{"freq", 1e3}, {"gain", 1.0}, {"bw", 1.0}}), fs), 0.7)),
              1.0);
}

TEST_F(FilterGenTreeTest, FirstOrderSectionsAreThreeDecibelsDownAtTheirFrequency) {
    auto* low = gen<CAudioFilterLPHP1Gen>("audio:fltgen-lphp1", "lp1", {});
    auto* high = gen<CAudioFilterLPHP1Gen>("audio:fltgen-lphp1", "hp1", {{"type", "1"}});
    EXPECT_EQ(slots(*high), (std::vector<CString>{"freq"}));
    for (double fs : {44100.0, 96000.0})
        for (double f : {7.0, 1000.0, 15000.0}) {
            const CBiquadSectionList lp = run(*low, values({{"freq", f}}), fs);
            const CBiquadSectionList hp = run(*high, values({{"freq", f}}), fs);
            EXPECT_EQ(lp[0].b2 + lp[0].a2 + hp[0].b2 + hp[0].a2, 0.0);
            EXPECT_NEAR(magnitudeAt(lp, f, fs), std::sqrt(0.5), 1e-12);
            EXPECT_NEAR(magnitudeAt(lp, 0.0, fs), 1.0, 1e-12);
            EXPECT_NEAR(magnitudeAt(hp, f, fs), 0.7079457843841379, 1e-12);
            EXPECT_EQ(magnitudeAt(hp, 0.0, fs), 0.0);
        }
    EXPECT_EQ(run(*high, values({{"freq", 22050.0}}), 44100.0).count(), 1);
    EXPECT_EQ(run(*high, values({{"freq", 22051.0}}), 44100.0).count(), 0);
    EXPECT_EQ(run(*low, values({{"freq", 0.0}}), 44100.0).count(), 0);
}

TEST_F(FilterGenTreeTest, DegenerateSettingsAndBadTypes) {
    // Pass-through rather than NaN.
    auto* bandPass = gen("audio:fltgen-rbj", "bp", {{"type", "2"}});
    auto* shelf = gen("audio:fltgen-rbj", "hs", {{"type", "8"}, {"is-q", "true"}});
    EXPECT_EQ(run(*bandPass, values({{"freq", 30000.0}, {"bw", 1.0}}), 44100.0).count(), 0);
    EXPECT_EQ(run(*shelf, values({{"freq", 1000.0}, {"gain", -1.0}, {"bw", 1.0}}), 44100.0).count(), 0);
    EXPECT_EQ(run(*shelf, values({{"freq", 1000.0}, {"gain", 2.0}, {"bw", 0.0}}), 44100.0).count(), 0);
    auto* bypass = gen("audio:fltgen-bypass", "off", {});
    EXPECT_EQ(run(*bypass, values({{"freq", 1000.0}}), 44100.0).count() + bypass->maxSectionCount(), 0);

    for (const char* type : {"10", "10.0"})
        EXPECT_EQ(genError("audio:fltgen-rbj", {{"type", type}}), "") << type;
    for (const char* type : {"11", "-1", "2.5", "peak", ""})
        EXPECT_EQ(genError("audio:fltgen-rbj", {{"type", type}}),
                  "Invalid filter type '" + std::string(type) + "' specified.");
    EXPECT_EQ(genError("audio:fltgen-lphp1", {{"type", "2"}}), "Invalid filter type '2' specified.");
    EXPECT_EQ(genError("audio:fltgen-magnus", {{"type", "2"}}), "Invalid filter type '2' specified.");
}

} // namespace
} // namespace qel::test
