#include <gtest/gtest.h>

#include <cmath>

#include "Audio/Graph/GraphTree.h"
#include "Audio/Processes/CModLatencyUniformer.h"
#include "Audio/Processes/CModResampler.h"
#include "Support/LogCapture.h"

namespace qel {
namespace {

// Resamplers whose filters are plain junctions, so that the stages themselves can be watched.
class CModResamplerTest : public test::GraphTreeTest {
protected:
    void SetUp() override {
        GraphTreeTest::SetUp();
        add(audio, "audio:modInterpolator", "modUpsamplerInterpolator");
        add(audio, "audio:modDecimator", "modDownsamplerDecimator");
        for (const char* name :
             {"modUpsamplerFilterSteep", "modDownsamplerFilterSteep", "modResamplerFilterSoft"})
            add(audio, "audio:modNode", name);
    }
    CObject* chain(const char* name, bool up, bool down) {
        CObject* def = add(audio, "audio:process-def", name, {{"is-auto-links", "true"}});
        defineSlot(def, "oversampling", "1", "0", "4");
        defineSlot(def, "host-oversampling-mode", "0", "0", "3");
        const char* script = "mode = ^oversampling; host-mode = ^host-oversampling-mode;";
        if (up) add(def, "audio:modResampler", "up", {{"is-upsampler", "true"}, {"script", script}});
        add(def, "audio:modNode", "inside");
        if (down) add(def, "audio:modResampler", "down", {{"script", script}});
        return def;
    }
    CModResampler* resampler(const char* name) { return static_cast<CModResampler*>(graph->child(name)); }
    // Blocks of ones until the container has finished a switch; the next block's output.
    std::vector<double> settle() {
        do
            run(std::vector<double>(64, 1.0));
        while (graph->isSwitching());
        return run(std::vector<double>(64, 1.0));
    }
    static std::vector<CString> defNames(CModResampler* r) {
        std::vector<CString> names;
        for (const CString& n : r->listNames())
            names.push_back(n);
        return names;
    }
};

TEST_F(CModResamplerTest, StagesFollowTheSettingAndKeepTheSteepFilterNextToTheHostRate) {
    build(chain("both", true, true), 1, 64);
    EXPECT_EQ(resampler("up")->stageCount(), 0) << "1X: a straight wire";
    EXPECT_EQ(run(std::vector<double>(64, 1.0)), std::vector<double>(64, 1.0));

    set("plugin.both.oversampling", 2); // 2X
    std::vector<double> out = settle();
    EXPECT_EQ(resampler("up")->stageCount(), 1);
    EXPECT_EQ(graph->child("inside")->format().sampleRate, 88200.0);
    ASSERT_EQ(out.size(), 64u);
    EXPECT_EQ(out[0], 2.0) << "interpolation gain, no filter in this test";

    set("plugin.both.oversampling", 4); // 8X: two more stages at the high-rate end
    out = settle();
    EXPECT_EQ(graph->child("inside")->format().sampleRate, 352800.0);
    EXPECT_EQ(graph->child("inside")->blockLength(), 512u);
    EXPECT_EQ(resampler("up")->listNames(),
              (std::vector<CString>{"modInterpInterp", "modFilter", "modInterpInterp", "modFilter",
                                    "modInterpInterp", "modFilter"}));
    EXPECT_EQ(resampler("down")->listNames(),
              (std::vector<CString>{"modFilter", "modInterpDecim", "modFilter", "modInterpDecim", "modFilter",
                                    "modInterpDecim"}));
    EXPECT_EQ(out, std::vector<double>(64, 8.0));

    // Automatic: the host's stage count.
    set("plugin.both.oversampling", 0);
    set("plugin.both.host-oversampling-mode", 2);
    settle();
    EXPECT_EQ(resampler("down")->stageCount(), 2);
    EXPECT_EQ(graph->child("inside")->format().sampleRate, 176400.0);
}

// Once audio runs, new stages wait (without latency) 0.2 s for recursive filters to settle, then fade
// in along a half cosine over 15 ms, while the old ones keep their stage count until they go.
TEST_F(CModResamplerTest, ANewStageCountFadesInWhileTheOldStagesPlayOut) {
    build(chain("both", true, true), 1, 64);
    set("plugin.both.oversampling", 2);
    settle();
    CModResampler* before = resampler("up");
    set("plugin.both.oversampling", 3); // 2X to 4X: gain 2 to 4
    std::vector<double> out;
    for (int b = 0; b < 160; ++b) {
        const std::vector<double> block = run(std::vector<double>(64, 1.0));
        out.insert(out.end(), block.begin(), block.end());
    }
    EXPECT_NE(resampler("up"), before) << "new stages";
    EXPECT_EQ(resampler("up")->stageCount(), 2);
    const size_t start = 8820, fade = 661; // 0.2 s and 15 ms at 44.1 kHz
    for (size_t i = 0; i < start; ++i)
        ASSERT_EQ(out[i], 2.0) << i;
    EXPECT_NEAR(out[start + fade / 2], 3.0, 0.01);
    for (size_t i = start + 1; i < start + fade; ++i) {
        ASSERT_GT(out[i], out[i - 1]) << i;
        ASSERT_LT(out[i] - out[i - 1], 2.0 * M_PI / double(fade)) << i;
    }
    for (size_t i = start + fade; i < out.size(); ++i)
        ASSERT_EQ(out[i], 4.0) << i;
    EXPECT_FALSE(graph->isSwitching());
}

TEST_F(CModResamplerTest, TheUniformerPadsToTheTableLatency) {
    CObject* def = add(audio, "audio:process-def", "pad", {{"is-auto-links", "true"}});
    add(def, "audio:modNode", "in");
    add(def, "audio:modLatencyUniformer", "uniform", {{"latencies", "44100=6;48000=7;88200=9"}});
    build(def, 1, 8);
    auto* uniformer = static_cast<CModLatencyUniformer*>(graph->child("uniform"));
    EXPECT_EQ(uniformer->delay(), 6u);
    EXPECT_EQ(graph->ownDelay(), 6);
    std::vector<double> impulse(8, 0.0);
    impulse[0] = 1.0;
    EXPECT_EQ(run(impulse), (std::vector<double>{0, 0, 0, 0, 0, 0, 1, 0}));

    test::LogCapture log;
    ASSERT_EQ(graph->prepare({50000.0, 8, 1}), nullptr);
    EXPECT_EQ(uniformer->delay(), 9u) << "the first entry not below the rate";
    uniformer->setInputLatency(12);
    EXPECT_EQ(uniformer->delay(), 9u);
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.back(),
              "Too high latency 12 at sample rate 50000.000000 in LatencyUniformer // plugin.pad.uniform");
    ASSERT_EQ(graph->prepare({96000.0, 8, 1}), nullptr);
    EXPECT_EQ(log.lines.back(),
              "Unsupported sample rate 96000.000000 in LatencyUniformer // plugin.pad.uniform");

    std::vector<std::pair<int64_t, int64_t>> table;
    EXPECT_FALSE(CModLatencyUniformer::parseLatencies("44100=1816;48000", table));
    EXPECT_TRUE(CModLatencyUniformer::parseLatencies("44100=1816;48000=1913", table));
    EXPECT_EQ(table.size(), 2u);
}

} // namespace
} // namespace qel
