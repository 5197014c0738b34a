#include "Audio/Converters/CAudioParamConverterTime.h"

#include <cmath>
#include <gtest/gtest.h>

#include "ConverterTestSupport.h"

using namespace qel;

using CAudioParamConverterTimeTest = test::ConverterTest;

TEST_F(CAudioParamConverterTimeTest, MillisecondTextsAndDecimalsBySize) {
    const CAudioParamConverter* ms = converter("time");
    setRange(0.001, 2);
    EXPECT_DOUBLE_EQ(value(ms, "250"), 0.25);
    EXPECT_DOUBLE_EQ(value(ms, "5000"), 2);
    EXPECT_DOUBLE_EQ(ms->parseLimit(info, 0, "10", nullptr), 0.01);
    EXPECT_EQ(text(ms, 0.25), "250");
    EXPECT_EQ(text(ms, 0.25, CAudioParamConverter::Compact), "0.3*");
    EXPECT_EQ(text(ms, 0.0456), "45.6");
    EXPECT_EQ(text(ms, 0.0456, CAudioParamConverter::Compact), "46");
    EXPECT_EQ(text(ms, 0.00456), "4.56");
    EXPECT_EQ(text(ms, 0.00456, CAudioParamConverter::Compact), "4.6");
    EXPECT_DOUBLE_EQ(ms->normalizedToDisplay(info, 0, 1.0), 2000);
    EXPECT_NEAR(ms->fromNormalized(info, 0, 0.5), 0.001 + 1.999 * 0.25, 1e-15) << "square law";
    EXPECT_NEAR(ms->toNormalized(info, 0, 0.001 + 1.999 * 0.25), 0.5, 1e-12);

    const CAudioParamConverter* seconds = converter("time-sec");
    EXPECT_DOUBLE_EQ(value(seconds, "1,5"), 1.5);
    EXPECT_EQ(text(seconds, 1.5), "1.50");

    CObject* made = nullptr;
    ASSERT_EQ(make(cvt, "audio:cvt-time", "fine",
                   {{"scale", "0.001"}, {"is-exact", "true"}, {"is-precise", "true"}}, made),
              nullptr);
    auto* fine = static_cast<CAudioParamConverter*>(made);
    EXPECT_EQ(text(fine, 0.25), "250.000");
    EXPECT_DOUBLE_EQ(fine->fromNormalized(info, 0, 0.5), 1.0005) << "linear";
    ASSERT_EQ(make(cvt, "audio:cvt-time", "log", {{"scale", "0.001"}, {"is-log", "true"}}, made), nullptr);
    auto* log = static_cast<CAudioParamConverter*>(made);
    setRange(0.001, 1);
    EXPECT_NEAR(log->fromNormalized(info, 0, 1.0 / 3), 0.01, 1e-15);
    EXPECT_NEAR(log->toNormalized(info, 0, 0.1), 2.0 / 3, 1e-12);
}
