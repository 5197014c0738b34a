#include <algorithm>
#include <iterator>
#include <numbers>

#include "Audio/Filters/CAudioFilterFIRGen.h"
#include "Audio/Filters/FilterGenTree.h"

// The low-passes of the 2x resampler stages, designed at the fixed rate: a steep pair next to the host
// rate and one soft filter for every stage above it, both ways.
namespace qel::test {
namespace {

constexpr double kPi = std::numbers::pi;
const double kHostRates[] = {44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0, 352800.0, 384000.0};

struct SFilter {
    std::vector<double> taps;
    int32_t delay = -1;
};

double dB(const std::vector<double>& taps, double f) {
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < taps.size(); ++n)
        sum += taps[n] * std::polar(1.0, -2.0 * kPi * f * double(n));
    return 20.0 * std::log10(std::abs(sum));
}

// Largest deviation from 0 dB over [0, passEnd] and highest level over [stopStart, 0.5], in cycles
// per sample of the rate the filter runs at.
std::pair<double, double> bands(const std::vector<double>& taps, double passEnd, double stopStart) {
    double ripple = 0.0, stop = -1000.0;
    for (double f = 0.0; f <= passEnd; f += passEnd / 2000.0)
        ripple = std::max(ripple, std::fabs(dB(taps, f)));
    for (double f = stopStart; f <= 0.5; f += (0.5 - stopStart) / 2000.0)
        stop = std::max(stop, dB(taps, f));
    return {ripple, stop};
}

std::vector<double> convolve(const std::vector<double>& x, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n)
        for (size_t k = 0; k < h.size() && k <= n; ++k)
            y[n] += h[k] * x[n - k];
    return y;
}

std::vector<double> upStage(const std::vector<double>& x, const SFilter& filter) {
    std::vector<double> stuffed(2 * x.size(), 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        stuffed[2 * i] = 2.0 * x[i];
    return convolve(stuffed, filter.taps);
}

std::vector<double> downStage(const std::vector<double>& x, const SFilter& filter) {
    const std::vector<double> filtered = convolve(x, filter.taps);
    std::vector<double> y(x.size() / 2);
    for (size_t i = 0; i < y.size(); ++i)
        y[i] = filtered[2 * i];
    return y;
}

class ResamplerFilterDesignTest : public FilterGenTreeTest {
protected:
    void SetUp() override {
        FilterGenTreeTest::SetUp();
        lp = gen<CAudioFilterFIRGen>("audio:fltgen-firlp", "firlp", {});
    }
    SFilter design(double freq, double length, double beta, double sampleRate) const {
        SFilter filter;
        EXPECT_TRUE(lp->generateKernel(values({{"length", length}, {"freq", freq}, {"beta", beta}}),
                                       sampleRate, true, filter.taps, filter.delay));
        return filter;
    }
    // The three filters at a stage running at sampleRate.
    void designAll(double sampleRate) {
        upSteep = design(10650.0, 0.008, 16.0, sampleRate);
        downSteep = design(11000.0, 0.023, 16.0, sampleRate);
        soft = design(10200.0, 0.00081, 16.3, sampleRate);
    }
    const SFilter& upFilter(int stage) const { return stage == 1 ? upSteep : soft; }
    const SFilter& downFilter(int stage) const { return stage == 1 ? downSteep : soft; }
    // Delay of n stages in host samples.
    double chainDelay(int n) const {
        double delay = 0.0;
        for (int k = 1; k <= n; ++k)
            delay += double(upFilter(k).delay + downFilter(k).delay) / double(1 << k);
        return delay;
    }
    // The sum of tones up to 20 kHz at a 44.1 kHz host, at host sample time t.
    static double tones(double t) {
        const double freqs[] = {97.0, 1234.5, 6000.0, 13333.0, 17100.0, 20000.0};
        double sum = 0.0;
        for (size_t i = 0; i < std::size(freqs); ++i)
            sum += 0.15 * std::cos(2.0 * kPi * freqs[i] / 44100.0 * t + 0.7 * double(i));
        return sum;
    }

    CAudioFilterFIRGen* lp = nullptr;
    SFilter upSteep, downSteep, soft;
};

TEST_F(ResamplerFilterDesignTest, ChainDelaysAreWholeHostSamplesAndEightTimesIs713) {
    ASSERT_TRUE(lp);
    designAll(88200.0);
    EXPECT_EQ(upSteep.delay, 356);
    EXPECT_EQ(downSteep.delay, 1016);
    EXPECT_EQ(soft.delay, 36);
    for (double hostRate : kHostRates) {
        // Each filter sees the rate of its stage; a fixed design rate makes that irrelevant.
        for (int stage = 1; stage <= 3; ++stage) {
            const SFilter up = design(10650.0, 0.008, 16.0, hostRate * (1 << stage));
            ASSERT_EQ(up.taps, upSteep.taps) << hostRate;
            ASSERT_EQ(design(10200.0, 0.00081, 16.3, hostRate * (1 << stage)).taps, soft.taps) << hostRate;
        }
    }
    EXPECT_EQ(chainDelay(0), 0.0);
    EXPECT_EQ(chainDelay(1), 686.0);
    EXPECT_EQ(chainDelay(2), 704.0);
    EXPECT_EQ(chainDelay(3), 713.0);
    for (const SFilter* f : {&upSteep, &downSteep, &soft}) {
        ASSERT_EQ(f->taps.size(), size_t(2 * f->delay + 1));
        for (int32_t k = 1; k <= f->delay; ++k)
            ASSERT_EQ(f->taps[size_t(f->delay + k)], f->taps[size_t(f->delay - k)]) << k;
    }
}

TEST_F(ResamplerFilterDesignTest, FiltersAreFlatOverTheHostBandAndRejectImagesAndAliases) {
    ASSERT_TRUE(lp);
    designAll(88200.0);
    // First stage at 2x: flat to 20 kHz of a 44.1 kHz host; the images of the host band start at its
    // Nyquist frequency (a quarter of the stage rate).
    const auto [upRipple, upStop] = bands(upSteep.taps, 20000.0 / 88200.0, 0.25);
    EXPECT_LT(upRipple, 1e-5);
    EXPECT_LT(upStop, -150.0);
    // Aliases land only above 21.8 kHz of a 44.1 kHz host.
    const auto [downRipple, downStop] = bands(downSteep.taps, 20000.0 / 88200.0, 0.2525);
    EXPECT_LT(downRipple, 1e-5);
    EXPECT_LT(downStop, -150.0);
    EXPECT_GT(dB(downSteep.taps, 0.25), -20.0);
    // Higher stages: the host band is at most 1/8 of the stage rate; images and aliases of it lie
    // above 3/8.
    const auto [softRipple, softStop] = bands(soft.taps, 0.125, 0.375);
    EXPECT_LT(softRipple, 1e-5);
    EXPECT_LT(softStop, -150.0);
}

TEST_F(ResamplerFilterDesignTest, ChainsReturnTheSignalDelayedByTheirHostSampleDelay) {
    ASSERT_TRUE(lp);
    designAll(88200.0);
    const size_t length = 3000;
    std::vector<double> x(length);
    for (size_t n = 0; n < length; ++n)
        x[n] = tones(double(n));
    for (int stages = 1; stages <= 3; ++stages) {
        std::vector<double> y = x;
        for (int k = 1; k <= stages; ++k)
            y = upStage(y, upFilter(k));
        // At the top rate the signal is the band-limited input itself, sampled between host samples.
        double upDelay = 0.0;
        for (int k = 1; k <= stages; ++k)
            upDelay += double(upFilter(k).delay) / double(1 << k);
        const size_t factor = size_t(1) << stages;
        double worstUp = 0.0;
        for (size_t j = 1500 * factor; j < y.size(); ++j)
            worstUp = std::max(worstUp, std::fabs(y[j] - tones(double(j) / double(factor) - upDelay)));
        EXPECT_LT(worstUp, 1e-7) << stages;

        for (int k = stages; k >= 1; --k)
            y = downStage(y, downFilter(k));
        ASSERT_EQ(y.size(), length);
        const size_t delay = size_t(chainDelay(stages));
        double worst = 0.0;
        for (size_t n = 1500; n < length; ++n)
            worst = std::max(worst, std::fabs(y[n] - x[n - delay]));
        EXPECT_LT(worst, 1e-7) << stages;
    }
}

} // namespace
} // namespace qel::test
