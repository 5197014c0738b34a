#include <gtest/gtest.h>

#include <random>

#include "Other/CFont.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "Support/MemoryResources.h"
#include "Support/TestPalettes.h"

namespace qel {
namespace {

// Font and image set bytes come from outside the code that reads them: damaged ones must fail with a
// message naming the resource, or load into something that draws without fault.
template <class T>
std::string loadBytes(test::MemoryResources& resources, const std::vector<uint8_t>& bytes, T& set) {
    resources.set("damaged", bytes);
    return test::firstLine(set.load("damaged"));
}

template <class T>
void drawAFewFrames(const T& set) {
    const test::FallbackPalette palette;
    CBitmap out;
    for (int32_t frame = 0; frame < std::min(set.frameCount(), 4); ++frame)
        qelErrRelease(set.render(frame, 1.5, palette, 30, 20, out));
    if constexpr (std::is_same_v<T, CFont>) set.renderText(CString(u"Gain \u2212 4 dB"), 2.0, CColor{}, out);
}

template <class T>
void fuzz(const char* resource, const char* message, int corruptions) {
    const std::vector<uint8_t> original = test::MemoryResources::bytesOf(g_embeddedResources, resource);
    ASSERT_GT(original.size(), 32u) << resource;
    test::MemoryResources resources;
    {
        T set;
        ASSERT_EQ(loadBytes(resources, original, set), "") << resource;
    }
    // Every cut in the header and the first records, then every few bytes.
    for (size_t length = 0; length < original.size(); length += length < 256 ? 1 : 97) {
        T set;
        const std::string line = loadBytes(
            resources, std::vector<uint8_t>(original.begin(), original.begin() + long(length)), set);
        ASSERT_EQ(line.rfind(message, 0), 0u) << resource << " cut at " << length << ": " << line;
        EXPECT_NE(line.find("'damaged'"), std::string::npos) << line;
    }
    {
        T set;
        std::vector<uint8_t> longer = original;
        longer.push_back(0);
        EXPECT_EQ(loadBytes(resources, longer, set).rfind(message, 0), 0u) << resource;
    }
    std::mt19937 random(12345);
    int loaded = 0;
    for (int i = 0; i < corruptions; ++i) {
        std::vector<uint8_t> bytes = original;
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c) {
            // Mostly near the start, where counts and sizes live.
            const size_t at =
                random() % 3 ? random() % std::min<size_t>(bytes.size(), 96) : random() % bytes.size();
            bytes[at] = uint8_t(random());
        }
        T set;
        const std::string line = loadBytes(resources, bytes, set);
        if (line.empty()) {
            ++loaded;
            drawAFewFrames(set);
        } else {
            ASSERT_EQ(line.rfind(message, 0), 0u) << resource << ": " << line;
        }
    }
    EXPECT_GT(loaded, 0) << "no corruption left a loadable " << resource;
}

TEST(GfxResourceFuzzTest, DamagedFontsFailCleanly) {
    fuzz<CFont>("../../../Gfx/Fonts/base.fnt", "Invalid font data in 'damaged': ", 3000);
    fuzz<CFont>("../../../Gfx/Fonts/title.fnt", "Invalid font data in 'damaged': ", 500);
}

TEST(GfxResourceFuzzTest, DamagedImageSetsFailCleanly) {
    for (const char* name : {"knob4", "quelmar", "texture", "button", "csurface"})
        fuzz<CImageSet>((std::string("../../../Gfx/Imagesets/") + name + ".is").c_str(),
                        "Invalid image set data in 'damaged': ", 1500);
}

} // namespace
} // namespace qel
