#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <set>

#include "Audio/DSP/CDenormNoise.h"
#include "Audio/Graph/GraphTree.h"
#include "Audio/Processes/CModKoren.h"
#include "Support/LogCapture.h"

namespace qel {
namespace {

constexpr double kNoiseHigh = 8388608 * 2.384185791015625e-18 - 1e-11;

bool isNoise(const std::vector<double>& samples) {
    for (double v : samples)
        if (v != -1e-11 && v != kNoiseHigh) return false;
    return !samples.empty();
}

class UtilityProcessesTest : public test::GraphTreeTest {};

TEST_F(UtilityProcessesTest, GainMutesWithNoiseInvertsAndScales) {
    CObject* def = add(audio, "audio:process-def", "g", {{"is-auto-links", "true"}});
    CObject* gain = add(def, "audio:modGain", "gain");
    defineSlot(gain, "gain", "1");
    defineSlot(gain, "mute", "0", "0", "1");
    defineSlot(gain, "phase-invert", "0", "0", "1");
    build(def);
    set("plugin.g.gain.phase-invert", 1);
    EXPECT_EQ(run({1, -2}), (std::vector<double>{-1, 2})) << "unity gain inverted is active";
    set("plugin.g.gain.gain", 4);
    EXPECT_EQ(run({1, -2}), (std::vector<double>{-4, 8}));
    set("plugin.g.gain.mute", 1);
    std::vector<double> muted = run(std::vector<double>(64, 1.0));
    EXPECT_TRUE(isNoise(muted)) << "mute gives noise, never exact zeros";
    EXPECT_EQ(std::set<double>(muted.begin(), muted.end()).size(), 2u);
}

TEST_F(UtilityProcessesTest, NoiseGeneratorsEachHaveTheirOwnSequence) {
    CDenormNoise first, second;
    EXPECT_EQ(second.seed(), first.seed() + 1);
    std::vector<double> a(32), b(32);
    first.fill(a.data(), 32);
    second.fill(b.data(), 32);
    EXPECT_NE(a, b);
    EXPECT_TRUE(isNoise(a) && isNoise(b));

    CObject* def = add(audio, "audio:process-def", "dn", {{"is-auto-links", "true"}});
    add(def, "audio:modDenormNoise", "noise");
    build(def);
    std::vector<double> out = run(std::vector<double>(64, 0.0));
    EXPECT_TRUE(isNoise(out)) << "silence plus noise is exactly the two noise values";
    out = run({0.5});
    EXPECT_TRUE(out[0] == 0.5 + kNoiseHigh || out[0] == 0.5 - 1e-11);
}

// Blocks of any length, onto a signal (in place) or alone, give the sequence of next() one step at a time.
TEST_F(UtilityProcessesTest, NoiseBlocksContinueTheOneStepSequence) {
    CDenormNoise stepped;
    CDenormNoise blocked = stepped; // the same seed
    std::vector<double> noise(500), expected(500), actual(500);
    for (double& v : noise)
        v = stepped.next();
    for (size_t at = 0, n = 1, block = 0; at < actual.size(); at += n, n = n % 11 + 2, ++block) {
        n = std::min(n, actual.size() - at);
        if (block % 2) {
            for (size_t i = at; i < at + n; ++i)
                actual[i] = 0.001 * double(i);
            blocked.mix(actual.data() + at, actual.data() + at, uint32_t(n));
        } else {
            blocked.fill(actual.data() + at, uint32_t(n));
        }
        for (size_t i = at; i < at + n; ++i)
            expected[i] = (block % 2 ? 0.001 * double(i) : 0.0) + noise[i];
    }
    EXPECT_EQ(actual, expected);
}

TEST_F(UtilityProcessesTest, BypassTakesTheDryPathAndSoloSilencesTheOthers) {
    CObject* def = add(audio, "audio:process-def", "b");
    add(def, "audio:modNode", "in");
    add(def, "audio:modPhaseInv", "wet");
    defineSlot(def->findObject(".wet"), "enable", "1", "0", "1");
    CObject* bypass = add(def, "audio:modBypass", "bypass");
    defineSlot(bypass, "enable", "0", "0", "1");
    defineSlot(bypass, "group-solo", "0", "0", "1");
    for (auto [src, dst] : std::vector<std::pair<const char*, const char*>>{
             {"*", "in"}, {"in", "wet"}, {"wet", "bypass"}, {"in", "bypass/1"}, {"bypass", "*"}})
        add(def, "audio:process-link", (std::string(src) + "-" + dst).c_str(), {{"src", src}, {"dst", dst}});
    build(def, 2);
    EXPECT_EQ(run({1, 2}), (std::vector<double>{-1, -2})) << "processed";
    set("plugin.b.bypass.enable", 1);
    EXPECT_EQ(run({1, 2}), (std::vector<double>{1, 2})) << "dry";

    set("plugin.b.bypass.enable", 0);
    set("plugin.b.bypass.group-solo", 1, 1);
    EXPECT_TRUE(isNoise(run({1, 2}, 0))) << "channel 0 is not soloed";
    EXPECT_EQ(run({1, 2}, 1), (std::vector<double>{-1, -2})) << "channel 1 is";
    set("plugin.b.bypass.group-solo", 0, 1);
    EXPECT_EQ(run({1, 2}, 0), (std::vector<double>{-1, -2}));
}

TEST_F(UtilityProcessesTest, TheTubeStageReadsItsSlotsAndFallsBackToItsInPhaseInput) {
    CObject* def = add(audio, "audio:process-def", "tube", {{"is-auto-links", "true"}});
    CObject* koren = add(def, "audio:modKoren", "koren");
    defineSlot(koren, "mode", "1", "0", "1");
    test::LogCapture log;
    build(def);
    // Every slot but "mode" is unattached and says so once.
    std::vector<std::string> errors;
    for (const CString& line : log.lines)
        if (line.startsWith("regModuleParam")) errors.push_back(line.toUtf8());
    ASSERT_EQ(errors.size(), 12u);
    EXPECT_EQ(errors[0], "regModuleParam error 0 // plugin.tube.koren");
    auto* module = static_cast<CModKorenModule*>(
        static_cast<CAudioProcessTerminalBase*>(graph->child("koren"))->module(0));
    EXPECT_EQ(module->kernel().coefficients().mode, 1);
    EXPECT_EQ(module->kernel().settings().mu, 58.5);

    // Without a quadrature input y = x; silence stays silent.
    std::vector<double> out = run({0.0, 1e-4});
    EXPECT_EQ(out[0], 0.0);
    double expected = 0;
    const double x = 1e-4;
    module->kernel().process(&x, &x, &expected, 1);
    EXPECT_EQ(out[1], expected);
}

} // namespace
} // namespace qel
