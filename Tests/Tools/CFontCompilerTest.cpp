#include <gtest/gtest.h>

#include <filesystem>

#include "Common/ToolFiles.h"
#include "FontCompiler/CFontCompiler.h"
#include "Other/CFont.h"
#include "Support/ErrorText.h"
#include "Support/MemoryResources.h"

namespace qel {
namespace {

std::string face(const char* name) {
    std::string bytes, failure;
    EXPECT_TRUE(readInputFile(std::string(QEL_FONT_DIR) + "/" + name, bytes, failure)) << failure;
    return bytes;
}

TEST(CFontCompilerTest, DescriptionsNameAFaceAndASize) {
    CFontCompiler::SDescription description;
    std::string failure;
    ASSERT_TRUE(CFontCompiler::parseDescription("# body text\nface DejaVuSans.ttf\n\nsize 10.5\n",
                                                description, failure));
    EXPECT_EQ(description.face, "DejaVuSans.ttf");
    EXPECT_EQ(description.size, 10.5);
    const std::pair<const char*, const char*> broken[] = {
        {"face DejaVuSans.ttf\nweight bold\n", "line 2: unknown key \"weight\""},
        {"face DejaVuSans.ttf\n", "a description needs a face and a size"},
        {"face DejaVuSans.ttf\nsize 2\n", "line 2: size must be a number from 4 to 128"},
        {"face DejaVuSans.ttf\nsize 11pt\n", "line 2: size must be a number from 4 to 128"},
        {"face Deja Vu.ttf\nsize 11\n", "line 1: expected \"face VALUE\""},
    };
    for (const auto& [text, expected] : broken) {
        EXPECT_FALSE(CFontCompiler::parseDescription(text, description, failure)) << text;
        EXPECT_EQ(failure, expected);
    }
    // The product's fonts come from the two faces of the core DejaVu package.
    for (const auto& entry : std::filesystem::directory_iterator(std::string(QEL_GFX_DIR) + "/Fonts")) {
        std::string text;
        ASSERT_TRUE(readInputFile(entry.path().string(), text, failure));
        ASSERT_TRUE(CFontCompiler::parseDescription(text, description, failure)) << entry.path() << failure;
        EXPECT_TRUE(description.face == "DejaVuSans.ttf" || description.face == "DejaVuSans-Bold.ttf")
            << entry.path();
    }
}

TEST(CFontCompilerTest, CompiledFacesLoadWithTheirMetricsGlyphsAndKerning) {
    std::vector<uint8_t> regular, bold;
    std::string failure;
    ASSERT_TRUE(CFontCompiler::compile(face("DejaVuSans.ttf"), 12, regular, failure)) << failure;
    ASSERT_TRUE(CFontCompiler::compile(face("DejaVuSans-Bold.ttf"), 12, bold, failure)) << failure;
    std::vector<uint8_t> again;
    ASSERT_TRUE(CFontCompiler::compile(face("DejaVuSans.ttf"), 12, again, failure));
    EXPECT_EQ(again, regular);

    test::MemoryResources resources;
    resources.set("regular.fnt", regular);
    CFont font;
    ASSERT_EQ(test::firstLine(font.load("regular.fnt")), "");
    EXPECT_EQ(font.size(), 12);
    EXPECT_EQ(font.glyphs().size(), CFontCompiler::characterSet().size() + 1);
    for (uint32_t code : CFontCompiler::characterSet())
        EXPECT_NE(font.glyphIndex(code), 0) << code;
    // DejaVu Sans: 2048 units per em, 'M' 1767 wide, ascent 1901, descent 483.
    EXPECT_NEAR(font.textWidth("M"), 1767 * 12.0 / 2048, 1e-9);
    EXPECT_NEAR(font.ascent(), 1901 * 12.0 / 2048, 1e-9);
    EXPECT_NEAR(font.descent(), 483 * 12.0 / 2048, 1e-9);
    EXPECT_LT(font.kerning(font.glyphIndex('T'), font.glyphIndex('o')), 0);

    resources.set("bold.fnt", bold);
    CFont heavy;
    ASSERT_EQ(test::firstLine(heavy.load("bold.fnt")), "");
    EXPECT_GT(heavy.textWidth("Drive"), font.textWidth("Drive"));

    EXPECT_FALSE(CFontCompiler::compile("not a font at all", 12, again, failure));
    EXPECT_EQ(failure, "not a TrueType font");
}

} // namespace
} // namespace qel
