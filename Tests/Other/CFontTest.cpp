#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "Core/CResourceRegistry.h"
#include "Other/CFont.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"

namespace qel {
namespace {

class CFontTest : public ::testing::Test {
protected:
    void SetUp() override { CResourceRegistry::registerTable(g_embeddedResources); }
    void TearDown() override { CResourceRegistry::clear(); }

    static void load(CFont& font, const char* name) {
        ASSERT_EQ(test::firstLine(font.load(CString("../../../Gfx/Fonts/") + name + ".fnt")), "") << name;
    }
    // Columns and rows holding any ink.
    static SPixelRect inkBounds(const CBitmap& bitmap) {
        int32_t left = bitmap.width(), top = bitmap.height(), right = 0, bottom = 0;
        for (int32_t y = 0; y < bitmap.height(); ++y)
            for (int32_t x = 0; x < bitmap.width(); ++x)
                if (bitmap.pixel(x, y) >> 24) {
                    left = std::min(left, x);
                    right = std::max(right, x + 1);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y + 1);
                }
        return right > left ? SPixelRect{left, top, right - left, bottom - top} : SPixelRect{};
    }
};

TEST_F(CFontTest, EveryFontLoadsWithItsSizeAndTheCharactersTheEditorShows) {
    const std::pair<const char*, double> fonts[] = {{"base", 11},         {"base_b", 11}, {"compact", 10},
                                                    {"compact-small", 9}, {"micro", 8},   {"micro-sm", 7},
                                                    {"small", 9},         {"title", 14}};
    for (const auto& [name, size] : fonts) {
        CFont font;
        load(font, name);
        EXPECT_EQ(font.size(), size) << name;
        EXPECT_NEAR(font.ascent() + font.descent(), font.lineHeight(), 1e-9) << name;
        EXPECT_GT(font.ascent(), 0.8 * size) << name;
        EXPECT_GT(font.descent(), 0.1 * size) << name;
        for (uint32_t code :
             {0x41u, 0x7eu, 0xb0u, 0xb5u, 0xd7u, 0xe9u, 0x2212u, 0x2192u, 0x2190u, 0x2026u, 0x2013u, 0x2014u})
            EXPECT_NE(font.glyphIndex(code), 0) << name << " U+" << std::hex << code;
        EXPECT_EQ(font.glyphIndex(0x4e00), 0) << name;
        EXPECT_EQ(font.frameCount(), int32_t(font.glyphs().size()));
    }
}

TEST_F(CFontTest, WidthsFollowAdvancesKerningAndSize) {
    CFont base, bold, compact;
    load(base, "base");
    load(bold, "base_b");
    load(compact, "compact");
    EXPECT_EQ(base.textWidth(""), 0);
    const double a = base.textWidth("A"), v = base.textWidth("V");
    EXPECT_GT(a, 5);
    EXPECT_LT(base.textWidth("AV"), a + v - 0.3); // a kerned pair sits closer
    const uint16_t ga = base.glyphIndex('A'), gv = base.glyphIndex('V');
    EXPECT_LT(base.kerning(ga, gv), 0);
    EXPECT_EQ(base.kerning(gv, gv), 0);
    EXPECT_NEAR(base.textWidth("AV"), a + v + base.kerning(ga, gv) * 11.0 / 2048, 1e-9);
    EXPECT_NEAR(base.textWidth("Hello"), base.textWidth("He") + base.textWidth("llo"), 1e-9);
    // Same face at 10 units instead of 11.
    EXPECT_NEAR(compact.textWidth("Gain 12.5 dB"), base.textWidth("Gain 12.5 dB") * 10 / 11, 1e-9);
    EXPECT_GT(bold.textWidth("Gain 12.5 dB"), base.textWidth("Gain 12.5 dB"));
    // An unknown character takes the width of the missing-character box.
    const double box = base.glyphs()[0].advance * 11.0 / 2048;
    EXPECT_NEAR(base.textWidth(CString(u"\u4e00")), box, 1e-9);
    EXPECT_NEAR(base.textWidth(CString(u"\U0001F600")), box, 1e-9); // one box for a surrogate pair
}

TEST_F(CFontTest, TextIsRenderedAtTheExactScaleDeterministically) {
    CFont font;
    load(font, "base");
    const CString text = CString(u"Drive 4.5 dB \u2192 \u00b5s");
    const CColor ink{240, 120, 40, 255};
    for (double scale : {1.0, 1.25, 1.5, 2.0}) {
        CBitmap out;
        font.renderText(text, scale, ink, out);
        EXPECT_EQ(out.width(), int32_t(std::ceil(font.textWidth(text) * scale)) + 2) << scale;
        EXPECT_EQ(out.height(), int32_t(std::ceil(font.lineHeight() * scale))) << scale;
        const SPixelRect box = inkBounds(out);
        // The pen starts at x = 1; capitals reach about 0.73 em above the baseline.
        EXPECT_GE(box.x, 1) << scale;
        EXPECT_LE(box.x, int32_t(2 * scale) + 1) << scale;
        const int32_t baseline = int32_t(std::lround(font.ascent() * scale));
        EXPECT_NEAR(baseline - box.y, 0.73 * 11 * scale, 1.5) << scale;
        EXPECT_GT(box.bottom(), baseline) << scale; // the micro sign goes below it
        EXPECT_LE(box.right(), out.width()) << scale;
        // Solid strokes carry the colour itself.
        bool solid = false;
        for (int32_t y = 0; y < out.height(); ++y)
            for (int32_t x = 0; x < out.width(); ++x)
                solid |= out.pixel(x, y) == ink.premultiplied();
        EXPECT_TRUE(solid) << scale;

        CBitmap again;
        font.renderText(text, scale, ink, again);
        EXPECT_TRUE(std::equal(out.data(), out.data() + out.width() * out.height(), again.data()));
    }
    // Twice the scale, about twice the ink.
    CBitmap one, two;
    font.renderText("Emberline", 1.0, ink, one);
    font.renderText("Emberline", 2.0, ink, two);
    EXPECT_NEAR(double(inkBounds(two).width) / inkBounds(one).width, 2.0, 0.15);
}

TEST_F(CFontTest, ConcurrentRenderingGivesTheSamePixels) {
    CFont font;
    load(font, "small");
    CBitmap reference;
    {
        CFont fresh;
        load(fresh, "small");
        fresh.renderText("Oversampling 8x", 1.5, CColor{255, 255, 255, 255}, reference);
    }
    std::vector<CBitmap> results(4);
    std::vector<std::thread> threads;
    for (CBitmap& result : results)
        threads.emplace_back([&font, &result] {
            for (int i = 0; i < 20; ++i)
                font.renderText("Oversampling 8x", 1.5, CColor{255, 255, 255, 255}, result);
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const CBitmap& result : results) {
        ASSERT_EQ(result.width(), reference.width());
        EXPECT_TRUE(
            std::equal(result.data(), result.data() + result.width() * result.height(), reference.data()));
    }
}

} // namespace
} // namespace qel
