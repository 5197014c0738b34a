#include "Audio/Converters/CAudioParamConverterEnum.h"

#include <cmath>
#include <gtest/gtest.h>

#include "ConverterTestSupport.h"

using namespace qel;

using CAudioParamConverterEnumTest = test::ConverterTest;

TEST_F(CAudioParamConverterEnumTest, ConverterNamesComeBeforeParameterNames) {
    const CAudioParamConverter* enable = converter("enum-enable");
    setRange(0, 1);
    EXPECT_EQ(text(enable, 1), "On");
    EXPECT_EQ(text(enable, 0.4, CAudioParamConverter::Compact), "Off");
    EXPECT_DOUBLE_EQ(value(enable, " on "), 1);
    EXPECT_DOUBLE_EQ(value(enable, "0x1"), 1);
    EXPECT_DOUBLE_EQ(value(enable, "7"), 1) << "clamped";
    bool ok = true;
    EXPECT_DOUBLE_EQ(enable->textToValue(info, 0, "maybe", &ok), 0);
    EXPECT_FALSE(ok);

    const CAudioParamConverter* plain = converter("enum");
    ASSERT_EQ(info.parseStateNames("Auto;1X;2X;4X;8X"), nullptr);
    setRange(0, 4);
    EXPECT_EQ(text(plain, 3), "4X");
    EXPECT_DOUBLE_EQ(value(plain, "8x"), 4);
    EXPECT_EQ(text(plain, 7), "Reserve");
    EXPECT_EQ(text(plain, 7, CAudioParamConverter::Compact), "Rsv");
    EXPECT_EQ(text(plain, -1), "Reserve");
    EXPECT_DOUBLE_EQ(plain->parseLimit(info, 0, "2x", nullptr), 2);
    EXPECT_DOUBLE_EQ(plain->fromNormalized(info, 0, 0.6), 2) << "2.4 rounds";
    EXPECT_DOUBLE_EQ(plain->fromNormalized(info, 0, 0.625), 3) << "2.5 rounds away from zero";
    EXPECT_DOUBLE_EQ(plain->toNormalized(info, 0, 3), 0.75);

    // Indices count from the minimum; short names are matched by their first 7 characters.
    ASSERT_EQ(info.parseStateNames("Clean tube|Clean;Saturated tube|Saturat"), nullptr);
    setRange(10, 11);
    EXPECT_EQ(text(plain, 11), "Saturated tube");
    EXPECT_EQ(text(plain, 11, CAudioParamConverter::Short), "Saturat");
    EXPECT_EQ(text(plain, 11, CAudioParamConverter::Compact), "Sat");
    EXPECT_EQ(text(plain, 9), "Reserve");
    EXPECT_DOUBLE_EQ(value(plain, "saturated"), 11);
    EXPECT_DOUBLE_EQ(value(plain, "CLEAN"), 10);
    EXPECT_DOUBLE_EQ(plain->parseLimit(info, 0, "clean", nullptr), 0) << "limits count from zero";

    info.parseStateNames("");
    EXPECT_EQ(text(plain, 10.5), "11") << "no names: the number";

    CObject* made = nullptr;
    ASSERT_EQ(
        make(cvt, "audio:cvt-enum", "mixed", {{"state-names", "Stereo|St;Mid/side processing;;|"}}, made),
        nullptr);
    auto* mixed = static_cast<CAudioParamConverterEnum*>(made);
    EXPECT_EQ(mixed->stateNames(), (std::vector<CString>{"Stereo", "Mid/side processing", ""}));
    EXPECT_EQ(mixed->stateShortNames(), (std::vector<CString>{"St", "Mid/sid", ""}));
    ASSERT_EQ(info.parseStateNames("A;B;C;Four"), nullptr);
    setRange(0, 3);
    EXPECT_EQ(text(mixed, 1, CAudioParamConverter::Short), "Mid/sid");
    EXPECT_EQ(text(mixed, 3), "Four") << "past the converter's names: the parameter's";
    EXPECT_DOUBLE_EQ(value(mixed, "mid/side processing"), 1);
    EXPECT_DOUBLE_EQ(value(mixed, "four"), 3);
}
