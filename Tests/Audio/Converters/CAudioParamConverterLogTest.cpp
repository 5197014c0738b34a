#include "Audio/Converters/CAudioParamConverterLog.h"

#include <cmath>
#include <gtest/gtest.h>

#include "ConverterTestSupport.h"

using namespace qel;

using CAudioParamConverterLogTest = test::ConverterTest;

TEST_F(CAudioParamConverterLogTest, GainTextsAreDecibels) {
    const CAudioParamConverter* gain = converter("gain");
    setRange(0.251188643150958, 3.981071705534973);
    EXPECT_DOUBLE_EQ(value(gain, "0"), 1.0);
    EXPECT_NEAR(value(gain, "-6"), 0.501187233627272, 1e-15);
    EXPECT_DOUBLE_EQ(value(gain, "-40"), 0.251188643150958) << "clamped";
    EXPECT_TRUE(std::isnan(value(gain, "-6 dB")));
    EXPECT_NEAR(gain->parseLimit(info, 0, "-12", nullptr), 0.251188643150958, 1e-15);
    bool ok = true;
    EXPECT_DOUBLE_EQ(gain->parseLimit(info, 0, "?", &ok), 1.0);
    EXPECT_FALSE(ok);

    EXPECT_EQ(text(gain, 0.5), "-6.0");
    EXPECT_EQ(text(gain, 0.5, CAudioParamConverter::Compact), "-6.0");
    EXPECT_EQ(text(gain, 0.1, CAudioParamConverter::Compact), "-20");
    EXPECT_EQ(text(gain, 0.5, CAudioParamConverter::Precise), "-6.02");
    EXPECT_EQ(text(gain, 2.0, CAudioParamConverter::Short), "6.0");
    EXPECT_NEAR(gain->normalizedToDisplay(info, 0, 1.0), 12.0, 1e-12);
    EXPECT_NEAR(gain->normalizedToDisplay(info, 0, 0.5), 0.0, 1e-12) << "symmetric range: 0 dB in the middle";
}

TEST_F(CAudioParamConverterLogTest, FrequencyTextsUseKilohertz) {
    const CAudioParamConverter* freq = converter("freq");
    setRange(20, 20000);
    EXPECT_DOUBLE_EQ(value(freq, "2.5k"), 2500);
    EXPECT_DOUBLE_EQ(value(freq, "1,2K"), 1200);
    EXPECT_DOUBLE_EQ(value(freq, "30k"), 20000);
    EXPECT_DOUBLE_EQ(value(freq, "5"), 20);
    EXPECT_TRUE(std::isnan(value(freq, "k")));
    EXPECT_TRUE(std::isnan(value(freq, "2.5 k")));
    EXPECT_DOUBLE_EQ(freq->parseLimit(info, 0, "40k", nullptr), 40000);

    EXPECT_EQ(text(freq, 63.2), "63.2");
    EXPECT_EQ(text(freq, 440), "440");
    EXPECT_EQ(text(freq, 2500), "2.50k");
    EXPECT_EQ(text(freq, 12000), "12.0k");
    EXPECT_EQ(text(freq, 99.96), "100");
    EXPECT_EQ(text(freq, 9994, CAudioParamConverter::Short), "9.99k");
    EXPECT_EQ(text(freq, 9999.4, CAudioParamConverter::Short), "10.0k");
    EXPECT_EQ(text(freq, 440.123, CAudioParamConverter::Precise), "440.12");
    EXPECT_EQ(text(freq, 9.94, CAudioParamConverter::Compact), "9.9");
    EXPECT_EQ(text(freq, 999.9, CAudioParamConverter::Compact), "1000");
    EXPECT_EQ(text(freq, 1000, CAudioParamConverter::Compact), "1.0k");
    EXPECT_EQ(text(freq, 12345, CAudioParamConverter::Compact), "12k");

    EXPECT_NEAR(freq->fromNormalized(info, 0, 0.5), std::sqrt(20.0 * 20000.0), 1e-9);
    EXPECT_NEAR(freq->toNormalized(info, 0, 2000), 2.0 / 3.0, 1e-12);
}

TEST_F(CAudioParamConverterLogTest, ThresholdPinsUnityAndPowerBendsTheScale) {
    CObject* made = nullptr;
    ASSERT_EQ(make(cvt, "audio:cvt-gain", "pinned", {{"scale-threshold", "0.5"}}, made), nullptr);
    auto* pinned = static_cast<CAudioParamConverter*>(made);
    setRange(0.25, 4);
    for (auto [n, v] :
         std::vector<std::pair<double, double>>{{0.5, 1.0}, {1.0, 4.0}, {0.0, 0.25}, {0.75, 2.0}}) {
        EXPECT_NEAR(pinned->fromNormalized(info, 0, n), v, 1e-12) << n;
        EXPECT_NEAR(pinned->toNormalized(info, 0, v), n, 1e-12) << v;
    }
    setRange(0.5, 8); // unity a quarter of the way on a plain log scale, still at 0.5 here
    EXPECT_NEAR(pinned->fromNormalized(info, 0, 0.5), 1.0, 1e-12);
    EXPECT_NEAR(pinned->fromNormalized(info, 0, 0.25), std::sqrt(0.5), 1e-12);

    ASSERT_EQ(make(cvt, "audio:cvt-freq", "bent", {{"scale-power", "2"}}, made), nullptr);
    auto* bent = static_cast<CAudioParamConverter*>(made);
    setRange(10, 1000);
    EXPECT_NEAR(bent->fromNormalized(info, 0, 0.25), 100, 1e-9) << "sqrt(0.25) is half way in decades";
    EXPECT_NEAR(bent->toNormalized(info, 0, 100), 0.25, 1e-12);
    for (double n : {0.0, 0.1, 0.6, 1.0})
        EXPECT_NEAR(bent->toNormalized(info, 0, bent->fromNormalized(info, 0, n)), n, 1e-12);
}
