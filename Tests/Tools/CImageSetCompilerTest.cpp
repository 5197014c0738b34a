#include <gtest/gtest.h>

#include "ImageSetCompiler/CImageSetCompiler.h"
#include "Other/CImageSet.h"
#include "Support/ErrorText.h"
#include "Support/MemoryResources.h"
#include "Support/TestPalettes.h"

namespace qel {
namespace {

class CImageSetCompilerTest : public ::testing::Test {
protected:
    // Compiles a description and loads the result.
    void load(const std::string& description) {
        std::vector<uint8_t> bytes;
        std::string failure;
        ASSERT_TRUE(CImageSetCompiler::compile(description, QEL_FONT_DIR, bytes, failure)) << failure;
        resources.set("test.is", bytes);
        ASSERT_EQ(test::firstLine(set.load("test.is")), "");
    }
    CBitmap draw(int32_t frame, double width, double height, double scale = 1.0) {
        CBitmap out;
        EXPECT_EQ(test::firstLine(set.render(frame, scale, palette, width, height, out)), "");
        return out;
    }
    static uint32_t alpha(const CBitmap& bitmap, int32_t x, int32_t y) { return bitmap.pixel(x, y) >> 24; }

    test::MemoryResources resources;
    test::FallbackPalette palette;
    CImageSet set;
};

TEST_F(CImageSetCompilerTest, CoordinatesAnchorToEdgesCentreAndFractions) {
    load("size 10 8\nstretchable\nframes 4\ncolor a #ff0000ff\n"
         "rect 2 2 e2 e2 fill=a frames=0\n"
         "rect c-1 0 c1 e0 fill=a frames=1\n"
         "rect 0 0 50% e0 fill=a frames=2\n"
         "rect 1 1 e1 e1 outline=2 fill=a frames=3\n");
    EXPECT_TRUE(set.isStretchable());
    EXPECT_EQ(set.frameCount(), 4);
    for (int32_t width : {10, 24}) {
        const CBitmap inset = draw(0, width, 8);
        EXPECT_EQ(alpha(inset, 1, 1), 0u);
        EXPECT_EQ(alpha(inset, 2, 2), 255u);
        EXPECT_EQ(alpha(inset, width - 3, 5), 255u);
        EXPECT_EQ(alpha(inset, width - 2, 5), 0u);
        EXPECT_EQ(inset.pixel(2, 2), 0xffff0000u);
        const CBitmap centre = draw(1, width, 8);
        EXPECT_EQ(alpha(centre, width / 2 - 2, 4), 0u);
        EXPECT_EQ(alpha(centre, width / 2 - 1, 4), 255u);
        EXPECT_EQ(alpha(centre, width / 2, 4), 255u);
        EXPECT_EQ(alpha(centre, width / 2 + 1, 4), 0u);
        const CBitmap half = draw(2, width, 8);
        EXPECT_EQ(alpha(half, width / 2 - 1, 0), 255u);
        EXPECT_EQ(alpha(half, width / 2, 0), 0u);
        const CBitmap ring = draw(3, width, 8);
        EXPECT_EQ(alpha(ring, 2, 2), 255u);
        EXPECT_EQ(alpha(ring, 3, 3), 0u);
        EXPECT_EQ(alpha(ring, width - 3, 5), 255u);
    }
    // At twice the scale the same edges land on twice the pixel positions.
    const CBitmap doubled = draw(0, 10, 8, 2.0);
    EXPECT_EQ(doubled.width(), 20);
    EXPECT_EQ(alpha(doubled, 3, 3), 0u);
    EXPECT_EQ(alpha(doubled, 4, 4), 255u);
    EXPECT_EQ(alpha(doubled, 15, 11), 255u);
    EXPECT_EQ(alpha(doubled, 16, 11), 0u);
}

TEST_F(CImageSetCompilerTest, ValuesAnimateAcrossFramesAndPaintsVary) {
    load("size 10 4\nframes 11\ncolor a #00ff00ff\ncolor b #0000ffff\ncolor half #ffffff80\n"
         "rect 0 1 0..10 3 fill=a\n"
         "rect 0 0 e0 1 grad=a,b from=0,0 to=e0,0\n"
         "rect 0 3 e0 e0 fill=half opacity=1..0\n");
    EXPECT_FALSE(set.isStretchable());
    for (int32_t frame = 0; frame <= 10; ++frame) {
        const CBitmap out = draw(frame, 10, 4);
        for (int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(out.pixel(x, 2), x < frame ? 0xff00ff00u : 0u) << frame;
        EXPECT_NEAR(alpha(out, 0, 3), 128 * (10 - frame) / 10.0, 1.0) << frame;
    }
    const CBitmap out = draw(0, 99, 99); // not stretchable: drawn at its own size
    EXPECT_EQ(out.width(), 10);
    EXPECT_EQ(out.pixel(0, 0), 0xff00f20du); // green at the start of the axis
    EXPECT_EQ(out.pixel(9, 0), 0xff000df2u); // blue at its end

    load("size 40 40\ncolor a #ffffffff\nrect 0 0 e0 e0 fill=a noise=7,4\n");
    const CBitmap first = draw(0, 40, 40);
    load("size 40 40\ncolor a #ffffffff\nrect 0 0 e0 e0 fill=a noise=7,4\n");
    const CBitmap same = draw(0, 40, 40);
    load("size 40 40\ncolor a #ffffffff\nrect 0 0 e0 e0 fill=a noise=8,4\n");
    const CBitmap other = draw(0, 40, 40);
    EXPECT_TRUE(std::equal(first.data(), first.data() + 1600, same.data()));
    EXPECT_FALSE(std::equal(first.data(), first.data() + 1600, other.data()));
    uint32_t low = 255, high = 0;
    for (int32_t i = 0; i < 1600; ++i) {
        low = std::min(low, first.data()[i] >> 24);
        high = std::max(high, first.data()[i] >> 24);
    }
    EXPECT_LT(low, 80u);
    EXPECT_GT(high, 170u);
}

TEST_F(CImageSetCompilerTest, TextBlurAndPathsBecomeShapes) {
    load("size 40 16\ncolor a #ffffffff\n"
         "text c 12 12 DejaVuSans-Bold.ttf \"HH\" align=center fill=a\n");
    const CBitmap text = draw(0, 40, 16);
    int32_t left = 40, right = 0;
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 40; ++x)
            if (alpha(text, x, y) > 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_NEAR((left + right + 1) / 2.0, 20, 1.0); // centred on the anchor
    EXPECT_GT(right - left, 12);

    load("size 30 30\ncolor a #ffffffff\nrect 7 7 23 23 fill=a blur=1.5\n");
    const CBitmap soft = draw(0, 30, 30);
    EXPECT_GT(alpha(soft, 4, 15), 0u);
    EXPECT_LT(alpha(soft, 7, 15), 255u);
    EXPECT_EQ(alpha(soft, 15, 15), 255u);
    uint64_t sum = 0; // blurring spreads the ink without losing it
    for (int32_t i = 0; i < 900; ++i)
        sum += soft.data()[i] >> 24;
    EXPECT_NEAR(double(sum) / 255, 256, 6);

    load("size 10 10\ncolor a #ffffffff\npath M 0 0 L e0 0 L 0 e0 Z fill=a\n");
    const CBitmap triangle = draw(0, 10, 10);
    EXPECT_EQ(alpha(triangle, 1, 1), 255u);
    EXPECT_EQ(alpha(triangle, 8, 8), 0u);
}

TEST_F(CImageSetCompilerTest, MistakesAreReportedWithTheirLine) {
    const std::pair<const char*, const char*> broken[] = {
        {"size 10 10\nrect 0 0 1 1 fill=x\n", "2: colour \"x\" is not declared"},
        {"size 10 10\ncolor a #fff\n", "2: color takes a name and #rrggbb or #rrggbbaa"},
        {"size 10 10\ncolor a #ffffff\ncolor a #000000\n", "3: colour \"a\" declared twice"},
        {"size 10 10\ncolor a #ffffff\nrect 0 0 1 fill=a\n", "3: rect takes 4 values"},
        {"size 10 10\ncolor a #ffffff\ncircle 5 5 e2 fill=a\n", "3: \"e2\": only coordinates take an anchor"},
        {"size 10 10\ncolor a #ffffff\nstar 5 5 fill=a\n", "3: unknown statement \"star\""},
        {"size 10 10\ncolor a #ffffff\nrect 0 0 1 1 fill=a frames=1\n", "3: frames outside 0..0"},
        {"size 10 10\ncolor a #ffffff\nrect 0 0 1 1 fill=a shade=2\n", "3: unknown option \"shade\""},
        {"size 10 10\ncolor a #ffffff\nrect 0 0 1x 1 fill=a\n", "3: \"1x\" is not a value"},
        {"size 10 10\ncolor a #ffffff\nline 0 0 1 1 1 fill=a outline=1\n",
         "3: only rect, roundrect, ellipse and circle take an outline"},
        {"size 10 10\ncolor a #ffffff\npath L 0 0 fill=a\n", "3: a path starts with M"},
        {"size 10 10\ncolor a #ffffff\ntext 0 5 8 DejaVuSans.ttf \"A fill=a\n", "3: unterminated quote"},
        {"size 10 10\ncolor a #ffffff\ntext 0 5 8 Missing.ttf \"A\" fill=a\n", "3: "},
        {"color a #ffffff\n", "1: no size given"},
    };
    for (const auto& [text, expected] : broken) {
        std::vector<uint8_t> bytes;
        std::string failure;
        EXPECT_FALSE(CImageSetCompiler::compile(text, QEL_FONT_DIR, bytes, failure)) << text;
        EXPECT_EQ(failure.rfind(expected, 0), 0u) << failure;
    }
}

} // namespace
} // namespace qel
