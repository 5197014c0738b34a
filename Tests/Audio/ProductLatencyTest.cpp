#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "Audio/ProductInstance.h"

namespace qel {
namespace {

const std::pair<double, int64_t> kTable[] = {{44100, 1816}, {48000, 1913},  {88200, 2919},
                                             {96000, 3114}, {176400, 5125}, {192000, 5515}};

// One instance's signal path at a given host rate, mono.
class ProductLatencyTest : public test::ProductInstanceTest {
protected:
    void build(double rate) { ProductInstanceTest::build(rate, 1); }
    void set(const char* name, double value) {
        collector->getParam(CString("plugin.modMain.") + name)->setValue(0, 0, 0, value);
        applyChanges();
    }
};

TEST_F(ProductLatencyTest, EverySettingHasTheTableLatencyAtEveryRate) {
    for (const auto& [rate, latency] : kTable) {
        SCOPED_TRACE(rate);
        build(rate);
        for (int setting = 1; setting <= 4; ++setting) {
            set("oversampling", setting);
            EXPECT_EQ(graph->ownDelay(), latency) << setting;
        }
        set("oversampling", 0);
        for (int hostMode = 0; hostMode <= 3; ++hostMode) {
            set("host-oversampling-mode", hostMode);
            EXPECT_EQ(graph->ownDelay(), latency) << "auto " << hostMode;
        }
        set("host-oversampling-mode", 0);
        set("oversampling", 1);
    }
}

TEST_F(ProductLatencyTest, BypassedAudioIsTheInputDelayedByTheReportedLatency) {
    build(48000);
    set("bypass-enable", 1);
    for (int setting : {1, 4}) {
        set("oversampling", setting);
        std::mt19937 random(3);
        std::vector<double> in(8192);
        for (double& v : in)
            v = std::uniform_real_distribution<double>(-0.5, 0.5)(random);
        graph->reset();
        std::vector<double> out = runMono(in);
        const size_t latency = size_t(graph->ownDelay());
        ASSERT_EQ(latency, 1913u);
        for (size_t i = latency; i < in.size(); ++i)
            ASSERT_EQ(out[i], in[i - latency]) << i;
    }
}

// Small noise keeps the tube stage linear: the response estimated from input and output is then the
// in-phase tap at the reported latency with the antisymmetric quadrature part around it.
TEST_F(ProductLatencyTest, TheSmallSignalResponseIsCentredOnTheReportedLatency) {
    build(48000);
    collector->getParam("plugin.modMain.modEmberline.mode")->setValue(0, 0, 0, 1.0);
    for (int setting : {1, 4}) {
        SCOPED_TRACE(setting);
        set("oversampling", setting);
        graph->reset();
        std::mt19937 random(11);
        std::normal_distribution<double> noise(0.0, 1e-3);
        std::vector<double> in(1 << 16);
        for (double& v : in)
            v = noise(random);
        const std::vector<double> out = runMono(in);
        const int64_t latency = graph->ownDelay();
        ASSERT_EQ(latency, 1913);
        auto tap = [&](int64_t lag) {
            double sum = 0, power = 0;
            for (size_t t = size_t(latency + 64); t < in.size(); ++t) {
                sum += out[t] * in[size_t(int64_t(t) - lag)];
                power += in[size_t(int64_t(t) - lag)] * in[size_t(int64_t(t) - lag)];
            }
            return sum / power;
        };
        const double centre = tap(latency);
        EXPECT_NEAR(centre, 0.664, 0.03) << "the in-phase gain of the tube";
        for (int64_t k = 1; k <= 20; ++k) {
            EXPECT_LT(std::fabs(tap(latency + k)), std::fabs(centre)) << k;
            EXPECT_LT(std::fabs(tap(latency - k)), std::fabs(centre)) << -k;
        }
        // At the host rate the quadrature part is the transformer's: antisymmetric, odd taps only. The
        // oversampling chain band-limits both parts a little, which shows as a small symmetric share.
        const double tolerance = setting == 1 ? 0.01 : 0.05;
        for (int64_t k : {1, 3, 5}) {
            EXPECT_GT(std::fabs(tap(latency + k)), 0.05) << k;
            EXPECT_NEAR(tap(latency + k), -tap(latency - k), tolerance)
                << "antisymmetric around the centre " << k;
        }
        for (int64_t k : {2, 4})
            EXPECT_NEAR(tap(latency + k), 0.0, tolerance) << "even quadrature taps vanish " << k;
        EXPECT_NEAR(tap(latency - 200), 0.0, 0.03);
    }
}

} // namespace
} // namespace qel
