#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>

#include "Audio/AllocationCounter.h"
#include "Audio/ProductInstance.h"

namespace qel {
namespace {

// The product's signal path as an instance runs it, on a stereo 1 kHz sine.
class ProductGraphTest : public test::ProductInstanceTest {
protected:
    void SetUp() override {
        ProductInstanceTest::SetUp();
        build(44100.0, 2);
    }

    // Runs blocks of the sine and returns the last one of each channel.
    std::vector<std::vector<double>> run(int blocks) {
        std::vector<std::vector<double>> last(2);
        for (int b = 0; b < blocks; ++b) {
            applyChanges();
            for (int32_t c = 0; c < 2; ++c) {
                SAudioBlock* block = pool.take(512);
                for (uint32_t i = 0; i < 512; ++i)
                    block->samples()[i] = input(m_time + i);
                graph->receive(0, c, block);
            }
            m_time += 512;
            graph->run();
            output->run();
            for (int32_t c = 0; c < 2; ++c) {
                const SAudioBlock* out = output->block(c);
                last[size_t(c)] = out ? std::vector<double>(out->samples(), out->samples() + out->length)
                                      : std::vector<double>();
            }
        }
        return last;
    }
    double input(uint64_t n) const { return 0.5 * std::sin(2 * M_PI * 1000.0 * double(n) / 44100.0); }
    void set(const char* name, double value, int32_t group = CAudioParamStorage::kCommonGroup) {
        collector->getParam(CString("plugin.modMain.") + name)->setValue(group, 0, 0, value);
    }
    static double rms(const std::vector<double>& v) {
        double sum = 0;
        for (double x : v)
            sum += x * x;
        return std::sqrt(sum / double(v.size()));
    }

    uint64_t m_time = 0;
};

TEST_F(ProductGraphTest, TheTubeColoursTheSignalAndBypassGivesItBackUntouched) {
    std::vector<std::vector<double>> out = run(20);
    ASSERT_EQ(out[0].size(), 512u);
    for (double v : out[0])
        ASSERT_TRUE(std::isfinite(v));
    // About the input's level, yet not the input: phase-rotated and with harmonics.
    EXPECT_NEAR(rms(out[0]), 0.5 / std::sqrt(2.0), 0.05);
    double difference = 0;
    for (uint32_t i = 0; i < 512; ++i)
        difference = std::max(difference, std::fabs(out[0][i] - input(m_time - 512 + i)));
    EXPECT_GT(difference, 0.05);
    for (uint32_t i = 0; i < 512; ++i)
        EXPECT_NEAR(out[0][i], out[1][i], 1e-9) << "both channels get the same treatment, noise aside";

    // Dry: the input, later by the latency the host is told.
    set("bypass-enable", 1);
    out = run(8);
    const uint64_t latency = uint64_t(graph->ownDelay());
    EXPECT_EQ(latency, 1816u);
    for (uint32_t i = 0; i < 512; ++i)
        ASSERT_EQ(out[0][i], input(m_time - 512 + i - latency)) << i;

    set("bypass-enable", 0);
    set("modOutGain.mute", 1);
    out = run(4);
    for (double v : out[0])
        ASSERT_LT(std::fabs(v), 2e-11) << "muted: only anti-denormal noise";
}

TEST_F(ProductGraphTest, SteadyProcessingAllocatesNothing) {
    run(8);
    SAudioBlock* blocks[2] = {};
    CAudioParamChangeList changes;
    test::SAllocationCounter::allocations = 0;
    for (int b = 0; b < 16; ++b) {
        test::SAllocationCounter::counting = true;
        collector->takePending(changes);
        changes.applyToAudio();
        graph->applyParamUpdates();
        for (int32_t c = 0; c < 2; ++c) {
            blocks[c] = pool.take(512);
            std::fill(blocks[c]->samples(), blocks[c]->samples() + 512, 0.25);
            graph->receive(0, c, blocks[c]);
        }
        graph->run();
        output->run();
        test::SAllocationCounter::counting = false;
    }
    EXPECT_EQ(test::SAllocationCounter::allocations, 0u);
}

// Ten seconds of the sine through a second instance of the graph in blocks of random length.
TEST_F(ProductGraphTest, BlockLengthsDoNotChangeTheResult) {
    for (bool denormEnabled : {false, true}) {
        SCOPED_TRACE(denormEnabled);
        set("denorm-enable", denormEnabled ? 1 : 0, 0);
        CAudioParamChangeList changes;
        collector->takePending(changes);
        changes.applyToAudio();
        graph->applyParamUpdates();

        // Both runs start from silence with no coefficient change under way.
        auto render = [&](bool randomLengths) {
            graph->reset();
            std::vector<double> result;
            std::mt19937 random(7);
            const uint64_t total = 441000;
            for (uint64_t t = 0; t < total;) {
                const uint32_t length =
                    uint32_t(std::min<uint64_t>(randomLengths ? 1 + random() % 512 : 512, total - t));
                SAudioBlock* block = pool.take(length);
                for (uint32_t i = 0; i < length; ++i)
                    block->samples()[i] = input(t + i);
                graph->receive(0, 0, block);
                graph->run();
                output->run();
                const SAudioBlock* out = output->block(0);
                result.insert(result.end(), out->samples(), out->samples() + out->length);
                t += length;
            }
            return result;
        };
        const std::vector<double> fixed = render(false);
        const std::vector<double> varied = render(true);
        ASSERT_EQ(fixed.size(), varied.size());
        double worst = 0;
        for (size_t i = 0; i < fixed.size(); ++i)
            worst = std::max(worst, std::fabs(fixed[i] - varied[i]));
        if (denormEnabled)
            EXPECT_LT(worst, 1e-9);
        else
            EXPECT_EQ(worst, 0.0) << "bit-identical";
    }
    set("denorm-enable", 1, 0);
}

TEST_F(ProductGraphTest, BypassStatesFollowTheirParameters) {
    run(1);
    EXPECT_FALSE(graph->isStateActive(11)) << "anti-denormal noise on by default";
    EXPECT_TRUE(graph->isStateActive(33)) << "1X: no oversampling";
    EXPECT_FALSE(graph->isStateActive(34));
    EXPECT_TRUE(graph->isStateActive(35)) << "no group soloed";

    set("denorm-enable", 0, 0);
    set("oversampling", 2);
    set("io-params.channel-group-solo", 1, 1);
    std::vector<std::vector<double>> out = run(4);
    EXPECT_TRUE(graph->isStateActive(11));
    EXPECT_FALSE(graph->isStateActive(33));
    EXPECT_TRUE(graph->isStateActive(34));
    EXPECT_FALSE(graph->isStateActive(35));
    EXPECT_LT(rms(out[0]), 1e-10) << "channel 0 is not in the soloed group";
    EXPECT_GT(rms(out[1]), 0.1);
    set("denorm-enable", 1, 0); // a setting every instance shares: leave it as found
}

} // namespace
} // namespace qel
