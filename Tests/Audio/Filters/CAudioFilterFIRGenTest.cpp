#include "Audio/Filters/CAudioFilterFIRGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/FilterGenTree.h"

namespace qel::test {
namespace {

struct SKernel {
    bool made = false;
    std::vector<double> taps;
    int32_t delay = -1;
};

SKernel kernel(const CAudioFilterFIRGen& generator, const CAudioFilterParams& params, double sampleRate,
               bool fixedRate) {
    SKernel k;
    k.made = generator.generateKernel(params, sampleRate, fixedRate, k.taps, k.delay);
    return k;
}

TEST_F(FilterGenTreeTest, FirGeneratorsReadTheirSlotsAndAppendNoSections) {
    auto* lp = gen<CAudioFilterFIRGen>("audio:fltgen-firlp", "lp", {});
    auto* hilbert = gen<CAudioFilterFIRGen>("audio:fltgen-firhilb", "hilb", {});
    ASSERT_TRUE(lp && hilbert);
    EXPECT_EQ(slots(*lp), (std::vector<CString>{"length", "freq", "beta"}));
    EXPECT_EQ(slots(*hilbert), (std::vector<CString>{"length"}));
    const CAudioFilterParams params = values({{"length", 0.01}, {"freq", 5000.0}, {"beta", 8.0}});
    for (const CAudioFilterFIRGen* g : {lp, hilbert}) {
        EXPECT_EQ(g->maxSectionCount(), 0);
        EXPECT_EQ(run(*g, params, 44100.0).count(), 0);
        EXPECT_TRUE(kernel(*g, params, 44100.0, false).made);
    }
}

TEST_F(FilterGenTreeTest, HilbertGeneratorLengthIsTheWholeKernelInSeconds) {
    auto* hilbert = gen<CAudioFilterFIRGen>("audio:fltgen-firhilb", "hilb", {});
    ASSERT_TRUE(hilbert);
    const CAudioFilterParams params = values({{"length", 0.050023}});
    EXPECT_EQ(kernel(*hilbert, params, 44100.0, false).delay, 1103);
    EXPECT_EQ(kernel(*hilbert, params, 48000.0, false).delay, 1200);
    EXPECT_EQ(kernel(*hilbert, params, 192000.0, false).delay, 4802);
    // A fixed design rate keeps the 44.1 kHz kernel.
    EXPECT_EQ(kernel(*hilbert, params, 192000.0, true).taps, kernel(*hilbert, params, 44100.0, false).taps);
    EXPECT_FALSE(kernel(*hilbert, values({{"length", 0.0}}), 44100.0, false).made);
}

TEST_F(FilterGenTreeTest, LowPassGeneratorFollowsTheRateUnlessFixed) {
    auto* lp = gen<CAudioFilterFIRGen>("audio:fltgen-firlp", "lp", {});
    ASSERT_TRUE(lp);
    const CAudioFilterParams params = values({{"freq", 10650.0}, {"length", 0.008}, {"beta", 16.0}});
    const SKernel reference = kernel(*lp, params, 44100.0, false);
    ASSERT_TRUE(reference.made);
    EXPECT_EQ(reference.delay, 356);
    for (double rate : {48000.0, 88200.0, 384000.0})
        EXPECT_EQ(kernel(*lp, params, rate, true).taps, reference.taps) << rate;
    // Running at twice the rate: twice the samples for the same time, the cutoff at the same Hz.
    const SKernel doubled = kernel(*lp, params, 88200.0, false);
    EXPECT_EQ(doubled.delay, 708);
    EXPECT_NEAR(doubled.taps[708], reference.taps[356] / 2.0, 1e-15);

    // "beta" is clamped through the slot as well.
    auto withBeta = [&](double beta) {
        return kernel(*lp, values({{"freq", 10650.0}, {"length", 0.008}, {"beta", beta}}), 44100.0, true)
            .taps;
    };
    EXPECT_EQ(withBeta(0.5), withBeta(1.0));
    EXPECT_EQ(withBeta(500.0), withBeta(350.0));
    EXPECT_NE(withBeta(16.0), withBeta(1.0));

    for (const CAudioFilterParams& bad : {values({{"freq", 10650.0}, {"length", 0.0}, {"beta", 16.0}}),
                                          values({{"freq", -1.0}, {"length", 0.008}, {"beta", 16.0}})})
        EXPECT_FALSE(kernel(*lp, bad, 44100.0, true).made);
}

TEST_F(FilterGenTreeTest, ArraySelectsFirGeneratorsOnly) {
    auto* lp = gen("audio:fltgen-firlp", "lp", {});
    auto* hilbert = gen("audio:fltgen-firhilb", "hilb", {});
    gen("audio:fltgen-rbj", "shelf", {{"type", "7"}});
    auto item = [](const char* index, const char* fltgen) {
        return std::pair<const char*, Attrs>{"audio:fltgen-array-item",
                                             {{"index", index}, {"fltgen", fltgen}}};
    };
    auto* array = gen<CAudioFilterGenArray>(
        "audio:fltgen-array", "fir", {},
        {item("0", "shared::flt.lp"), item("1", "shared::flt.hilb"), item("2", "shared::flt.shelf")});
    ASSERT_TRUE(array);
    std::vector<CString> names;
    array->listSlots(names);
    EXPECT_EQ(names, (std::vector<CString>{"length", "freq", "beta", "gain", "bw"}));
    EXPECT_EQ(CAudioFilterFIRGen::select(*array, values({}, 0.0)), lp);
    EXPECT_EQ(CAudioFilterFIRGen::select(*array, values({}, 1.0)), hilbert);
    EXPECT_EQ(CAudioFilterFIRGen::select(*array, values({}, 2.0)), nullptr);
    EXPECT_EQ(CAudioFilterFIRGen::select(*array, values({}, 3.0)), nullptr);
}

} // namespace
} // namespace qel::test
