#include "Audio/Converters/CAudioParamConverter.h"

#include <cmath>
#include <gtest/gtest.h>

#include "ConverterTestSupport.h"

using namespace qel;

using CAudioParamConverterTest = test::ConverterTest;

namespace {

double number(const char* text) {
    double value = 0;
    return CAudioParamConverter::parseNumber(CString(text), value) ? value : std::nan("");
}

} // namespace

TEST(CAudioParamConverterParsing, NumbersMustBeWholeTexts) {
    EXPECT_DOUBLE_EQ(number("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(number("-2e3"), -2000);
    EXPECT_DOUBLE_EQ(number("+.25"), 0.25);
    EXPECT_DOUBLE_EQ(number("1.5E-2"), 0.015);
    EXPECT_DOUBLE_EQ(number("7"), 7);
    CString wide(u"2,5");
    wide.widen();
    double parsed = 0;
    EXPECT_TRUE(CAudioParamConverter::parseNumber(wide, parsed));
    EXPECT_DOUBLE_EQ(parsed, 2.5);
    EXPECT_FALSE(CAudioParamConverter::parseNumber(CString(u"1\u20ac"), parsed));
    for (const char* bad : {"1.", " 1", "1 ", "", "-", "e5", ".e5", "1e", "1e+", "1.2.3", "1,2.3", "--1",
                            "1-", "0x10", "1k", "+-1", "."})
        EXPECT_TRUE(std::isnan(number(bad))) << bad;

    int64_t value = 0;
    for (auto [text, expected] : std::vector<std::pair<const char*, int64_t>>{
             {"12", 12}, {"-3", -3}, {"0x1F", 31}, {"#1f", 31}, {"$FF", 255}, {"0", 0}, {"-0X10", -16}}) {
        EXPECT_TRUE(CAudioParamConverter::parseInteger(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* bad : {"1.0", " 2", "0x", "#", "-", "", "+1", "12a", "0xG", "99999999999999999999"})
        EXPECT_FALSE(CAudioParamConverter::parseInteger(bad, value)) << bad;
}

TEST(CAudioParamConverterParsing, NumbersFormatWithFixedDecimalsRoundingAwayFromZero) {
    const auto format = [](double value, int32_t decimals) {
        return CAudioParamConverter::formatNumber(value, decimals).toUtf8();
    };
    EXPECT_EQ(format(0.05, 2), "0.05");
    EXPECT_EQ(format(0.001, 2), "0.00");
    EXPECT_EQ(format(-0.001, 2), "0.00") << "no sign on a rounded zero";
    EXPECT_EQ(format(-0.005, 2), "-0.01");
    EXPECT_EQ(format(2.5, 0), "3");
    EXPECT_EQ(format(-2.5, 0), "-3");
    EXPECT_EQ(format(1234.5678, 3), "1234.568");
    EXPECT_EQ(format(-12.25, 1), "-12.3");
    EXPECT_EQ(format(7, 10), "7.0000000000");
    EXPECT_EQ(CAudioParamConverter::roundHalfAway(-0.5), -1);
    EXPECT_EQ(CAudioParamConverter::roundHalfAway(0.49999999999999994), 1) << "floor(v + 0.5)";
}

TEST_F(CAudioParamConverterTest, SetUpReadsAttributesAndRejectsBadOnes) {
    EXPECT_EQ(converter("gain")->label(), "dB");
    EXPECT_FALSE(converter("gain")->isDiscrete());
    EXPECT_TRUE(converter("enum")->isDiscrete());
    EXPECT_EQ(initError("audio:cvt-gain", {{"scale-power", "0"}}),
              "Invalid 'scale-power' attribute value 0 specified.");
    EXPECT_EQ(initError("audio:cvt-freq", {{"scale-threshold", "1.5"}}),
              "Invalid 'scale-threshold' attribute value 1.5 specified.");
    EXPECT_EQ(initError("audio:cvt-gain", {{"decimals", "11"}}),
              "Invalid 'decimals' attribute value 11 specified.");
    EXPECT_EQ(initError("audio:cvt-real", {{"decimals", "12"}}), "Invalid decimals 12 specified.");
    EXPECT_EQ(initError("audio:cvt-time", {}), "Invalid scale 0.0000 specified.");
    EXPECT_EQ(initError("audio:cvt-time", {{"scale", "-0.5"}}), "Invalid scale -0.5000 specified.");
    EXPECT_EQ(initError("audio:cvt-gain", {{"scale-power", "steep"}, {"scale-threshold", "1"}}), "")
        << "not a number: the default power";
}

TEST_F(CAudioParamConverterTest, RealPercentBandwidthAndText) {
    const CAudioParamConverter* real = converter("real");
    setRange(-5, 5);
    EXPECT_DOUBLE_EQ(value(real, "2,25"), 2.25);
    EXPECT_DOUBLE_EQ(value(real, "-7"), -5);
    bool ok = true;
    EXPECT_DOUBLE_EQ(real->textToValue(info, 0, "abc", &ok), -5);
    EXPECT_FALSE(ok);
    EXPECT_DOUBLE_EQ(real->parseLimit(info, 0, "abc", &ok), 0.0);
    EXPECT_DOUBLE_EQ(real->parseLimit(info, 0, "-70", nullptr), -70) << "limits are not clamped";
    EXPECT_EQ(text(real, 3.14159), "3.14");
    EXPECT_EQ(text(real, 3.14159, CAudioParamConverter::Compact), "3.1");
    EXPECT_EQ(text(real, 12.5, CAudioParamConverter::Compact), "13");
    EXPECT_DOUBLE_EQ(real->fromNormalized(info, 0, 0.25), -2.5);
    EXPECT_DOUBLE_EQ(real->toNormalized(info, 0, 2.5), 0.75);

    const CAudioParamConverter* percent = converter("percent");
    EXPECT_DOUBLE_EQ(percent->parseLimit(info, 0, "50.0", nullptr), 0.5);
    setRange(0, 0.5);
    EXPECT_DOUBLE_EQ(value(percent, "20"), 0.2);
    EXPECT_DOUBLE_EQ(value(percent, "80"), 0.5);
    EXPECT_EQ(text(percent, 0.125), "12.5");
    EXPECT_EQ(text(percent, 0.125, CAudioParamConverter::Compact), "13");
    EXPECT_DOUBLE_EQ(percent->normalizedToDisplay(info, 0, 0.5), 25);

    const CAudioParamConverter* bw = converter("bw");
    EXPECT_DOUBLE_EQ(bw->parseLimit(info, 0, "wide", nullptr), 0.001);
    setRange(0.1, 4.1);
    EXPECT_DOUBLE_EQ(bw->fromNormalized(info, 0, 0.5), 1.1);
    EXPECT_DOUBLE_EQ(bw->toNormalized(info, 0, 1.1), 0.5);
    EXPECT_EQ(text(bw, 1.23456), "1.23");
    EXPECT_EQ(text(bw, 1.23456, CAudioParamConverter::Precise), "1.235");

    const CAudioParamConverter* textCvt = converter("text");
    EXPECT_DOUBLE_EQ(textCvt->textToValue(info, 0, "any text at all", &ok), 0.0);
    EXPECT_TRUE(ok);
    CAudioParamData pool;
    pool.addString("Default");
    pool.addRaw();
    EXPECT_EQ(text(textCvt, 1.4, CAudioParamConverter::Normal, &pool), "Default");
    EXPECT_EQ(text(textCvt, 2, CAudioParamConverter::Normal, &pool), "") << "a raw item";
    EXPECT_EQ(text(textCvt, 1), "") << "no pool";
}
