#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Audio/ProductInstance.h"

namespace qel {
namespace {

constexpr double kRate = 48000.0;
constexpr int64_t kLatency = 1913;
constexpr uint32_t kBlock = 512;
constexpr int kSwitchBlock = 20;
constexpr int kBlocks = 96;
// The new setting runs unheard for twice the latency and 0.2 s, then fades in over 15 ms.
constexpr size_t kFilling = 2 * size_t(kLatency) + 9600;
constexpr size_t kFadeStart = size_t(kSwitchBlock) * kBlock + kFilling;
constexpr size_t kFadeEnd = kFadeStart + 720;

// A 1 kHz sine through the product path at 48 kHz while the oversampling setting changes. Runs differ
// by the anti-denormal noise (each generator has its own seed), hence 1e-9 for "the same".
class ProductOversamplingSwitchTest : public test::ProductInstanceTest {
protected:
    void SetUp() override {
        ProductInstanceTest::SetUp();
        build(kRate, 1);
    }
    void setOversampling(double value) {
        collector->getParam("plugin.modMain.oversampling")->setValue(0, 0, 0, value);
        applyChanges();
    }
    static double input(size_t n) { return 0.5 * std::sin(2 * M_PI * 1000.0 * double(n) / kRate); }
    // From silence at the first setting; the others are set before the blocks given with them.
    std::vector<double> render(double first, const std::vector<std::pair<int, double>>& changes = {}) {
        setOversampling(first);
        graph->reset();
        std::vector<double> out;
        for (int b = 0; b < kBlocks; ++b) {
            for (const auto& [block, value] : changes)
                if (block == b) setOversampling(value);
            EXPECT_EQ(graph->ownDelay(), kLatency) << "block " << b;
            std::vector<double> in(kBlock);
            for (uint32_t i = 0; i < kBlock; ++i)
                in[i] = input(size_t(b) * kBlock + i);
            const std::vector<double> result = runMono(in);
            out.insert(out.end(), result.begin(), result.end());
        }
        return out;
    }
    static double worstDifference(const std::vector<double>& a, const std::vector<double>& b, size_t from,
                                  size_t to) {
        double worst = 0;
        for (size_t i = from; i < to; ++i)
            worst = std::max(worst, std::fabs(a[i] - b[i]));
        return worst;
    }
    static double worstStep(const std::vector<double>& v, size_t from, size_t to) {
        double worst = 0;
        for (size_t i = from; i < to; ++i)
            worst = std::max(worst, std::fabs(v[i] - v[i - 1]));
        return worst;
    }
};

// At the default settings the two rates give nearly the same tone: any step or restart of the new
// path would stand out from their difference.
TEST_F(ProductOversamplingSwitchTest, SwitchingFromTwoToEightTimesFadesWithoutAStep) {
    const std::vector<double> at2 = render(2);
    const std::vector<double> at8 = render(4);
    const std::vector<double> switched = render(2, {{kSwitchBlock, 4}});
    ASSERT_EQ(switched.size(), size_t(kBlocks) * kBlock);
    EXPECT_GT(worstDifference(at2, at8, kFadeStart, kFadeEnd), 1e-7) << "the settings differ";
    EXPECT_FALSE(graph->isSwitching());

    EXPECT_LT(worstDifference(switched, at2, 0, kFadeStart), 1e-9) << "2X until the fade";
    EXPECT_LT(worstDifference(switched, at8, kFadeEnd, switched.size()), 1e-6) << "then 8X";
    for (size_t i = kFadeStart; i < kFadeEnd; ++i) {
        const double low = std::min(at2[i], at8[i]), high = std::max(at2[i], at8[i]);
        ASSERT_GE(switched[i], low - 1e-6) << i;
        ASSERT_LE(switched[i], high + 1e-6) << i;
    }
    const size_t start = size_t(kSwitchBlock) * kBlock;
    const double steady =
        std::max(worstStep(at2, start, switched.size()), worstStep(at8, start, switched.size()));
    EXPECT_LT(worstStep(switched, start, switched.size()), steady * 1.001) << "no step beyond the sine's own";
}

// Nothing is heard yet, so nothing needs fading: the host's first block is already at the new setting.
TEST_F(ProductOversamplingSwitchTest, BeforeAnyAudioASettingTakesEffectAtOnce) {
    const std::vector<double> at8 = render(4);
    const std::vector<double> at2 = render(2);
    graph->reset();
    setOversampling(4);
    EXPECT_FALSE(graph->isSwitching());
    EXPECT_EQ(graph->ownDelay(), kLatency);
    std::vector<double> in(4 * kBlock);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = input(i);
    const std::vector<double> out = runMono(in);
    EXPECT_GT(worstDifference(at2, at8, 0, out.size()), 1e-7);
    EXPECT_LT(worstDifference(out, at8, 0, out.size()), 1e-9);
}

// 8X while the 8X path is still filling, then 4X; 1X in the middle of the fade to 4X.
TEST_F(ProductOversamplingSwitchTest, ASwitchWhileOneIsUnderWayEndsAtTheLastSetting) {
    const std::vector<double> at1 = render(1);
    const std::vector<double> at2 = render(2);
    const int second = kSwitchBlock + 2;
    const size_t fadeTo4 = size_t(second) * kBlock + kFilling;
    const int third = int(fadeTo4 / kBlock) + 1;
    const std::vector<double> switched = render(2, {{kSwitchBlock, 4}, {second, 3}, {third, 1}});
    EXPECT_LT(worstDifference(switched, at2, 0, fadeTo4), 1e-9) << "2X heard until the fade to 4X";
    for (double v : switched)
        ASSERT_TRUE(std::isfinite(v));
    const size_t fadeTo1 = size_t(third) * kBlock + kFilling;
    ASSERT_LT(fadeTo1 + 720, switched.size());
    EXPECT_LT(worstDifference(switched, at1, fadeTo1 + 720, switched.size()), 1e-6) << "1X after its fade";
    EXPECT_FALSE(graph->isSwitching());
}

} // namespace
} // namespace qel
