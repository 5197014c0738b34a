#include <gtest/gtest.h>

#include <cmath>

#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Other/CFontObject.h"
#include "Other/CImageSetObject.h"
#include "ResourceEmbedder/EmbeddedResources.h"
#include "Support/ErrorText.h"
#include "Support/TestPalettes.h"

namespace qel {
namespace {

const char* const kSets[] = {"button",    "buttonab", "checkbox", "colorpicker",  "csurface",   "editbox",
                             "frame",     "framex1",  "framex2",  "groupcaption", "knob4",      "knoblabels",
                             "popup",     "popup2",   "scroller", "shadow",       "shadowhard", "shadowknob",
                             "statusbar", "texture",  "quelmar"};

// The product's shared tree, where the editor finds its fonts and image sets.
class CImageSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::firstLine(qelProductStartup(g_embeddedResources)), "");
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
    }
    void TearDown() override {
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }
    const CImageSet& set(const char* name) {
        CImageSetObject* object = nullptr;
        EXPECT_EQ(test::firstLine(root->findObjectChecked(CString("shared::is.") + name, object)), "")
            << name;
        static const CImageSet empty;
        return object && object->imageSet() ? *object->imageSet() : empty;
    }
    // Whether two square blocks hold the same pixels (or, not exact, the same coverage).
    static bool corner(const CBitmap& a, const CBitmap& b, int32_t ax, int32_t ay, int32_t bx, int32_t by,
                       int32_t size, bool exact) {
        const uint32_t mask = exact ? 0xffffffffu : 0xff000000u;
        for (int32_t y = 0; y < size; ++y)
            for (int32_t x = 0; x < size; ++x)
                if ((a.pixel(ax + x, ay + y) & mask) != (b.pixel(bx + x, by + y) & mask)) return false;
        return true;
    }

    CObject* root = nullptr;
    test::FallbackPalette fallback;
};

TEST_F(CImageSetTest, SharedTreeHoldsEveryFontFamilyAndImageSet) {
    for (const char* family : {"base", "compact", "compact-small", "micro", "micro-sm", "small", "title"}) {
        CFontObject* object = nullptr;
        ASSERT_EQ(test::firstLine(root->findObjectChecked(CString("shared::font.") + family, object)), "");
        ASSERT_NE(object->font("regular"), nullptr) << family;
        EXPECT_EQ(object->font("superscript"), nullptr) << family;
    }
    CFontObject* base = nullptr;
    ASSERT_EQ(root->findObjectChecked("shared::font.base", base), nullptr);
    ASSERT_NE(base->font("bold"), nullptr);
    EXPECT_GT(base->font("bold")->textWidth("Tube"), base->font("regular")->textWidth("Tube"));
    for (const char* name : kSets)
        EXPECT_GT(set(name).frameCount(), 0) << name;
    EXPECT_EQ(set("knob4").width(), 44);
    EXPECT_EQ(set("knob4").height(), 44);
    EXPECT_GE(set("knob4").frameCount(), 100);
}

TEST_F(CImageSetTest, EverySetDrawsEveryFrameAtEveryScale) {
    for (const char* name : kSets) {
        const CImageSet& s = set(name);
        for (double scale : {1.0, 1.5, 2.0}) {
            // Stretchable sets at their natural size and larger; the others always at theirs.
            for (double grow : {0.0, 17.0}) {
                const int32_t step = std::max(1, s.frameCount() / 8);
                for (int32_t frame = 0; frame < s.frameCount(); frame += step) {
                    CBitmap out;
                    ASSERT_EQ(test::firstLine(
                                  s.render(frame, scale, fallback, s.width() + grow, s.height() + grow, out)),
                              "")
                        << name;
                    const double w = s.isStretchable() ? s.width() + grow : s.width();
                    const double h = s.isStretchable() ? s.height() + grow : s.height();
                    ASSERT_EQ(out.width(), int32_t(std::ceil(w * scale))) << name << " scale " << scale;
                    ASSERT_EQ(out.height(), int32_t(std::ceil(h * scale))) << name << " scale " << scale;
                    uint64_t alpha = 0;
                    for (int32_t i = 0; i < out.width() * out.height(); ++i)
                        alpha += out.data()[i] >> 24;
                    EXPECT_GT(alpha, 0u) << name << " frame " << frame;
                }
            }
        }
        CBitmap out;
        EXPECT_EQ(test::firstLine(s.render(s.frameCount(), 1.0, fallback, s.width(), s.height(), out)),
                  "Frame " + std::to_string(s.frameCount()) + " is not in 0.." +
                      std::to_string(s.frameCount() - 1) + ".");
        EXPECT_NE(test::firstLine(s.render(0, 0.0, fallback, s.width(), s.height(), out)), "");
    }
}

TEST_F(CImageSetTest, StretchedSetsKeepTheirCorners) {
    for (const char* name : kSets) {
        const CImageSet& s = set(name);
        // The colour surface and the texture are laid out over the whole size by design.
        if (!s.isStretchable() || std::string(name) == "csurface" || std::string(name) == "texture") continue;
        // Shading runs across the short side: a bar stretched along its length keeps every corner
        // pixel, and stretched any way keeps the corners' shape.
        const bool vertical = std::string(name) == "scroller";
        for (int32_t frame = 0; frame < s.frameCount(); ++frame) {
            CBitmap small, longer, larger;
            ASSERT_EQ(s.render(frame, 2.0, fallback, s.width(), s.height(), small), nullptr);
            ASSERT_EQ(s.render(frame, 2.0, fallback, s.width() + (vertical ? 0 : 37),
                               s.height() + (vertical ? 37 : 0), longer),
                      nullptr);
            ASSERT_EQ(s.render(frame, 2.0, fallback, s.width() + 37, s.height() + 23, larger), nullptr);
            const int32_t n = 4;
            for (const CBitmap* other : {&longer, &larger}) {
                const bool exact = other == &longer;
                const int32_t sw = small.width() - n, sh = small.height() - n, ow = other->width() - n,
                              oh = other->height() - n;
                EXPECT_TRUE(corner(small, *other, 0, 0, 0, 0, n, exact)) << name << " frame " << frame;
                EXPECT_TRUE(corner(small, *other, sw, 0, ow, 0, n, exact)) << name << " frame " << frame;
                EXPECT_TRUE(corner(small, *other, 0, sh, 0, oh, n, exact)) << name << " frame " << frame;
                EXPECT_TRUE(corner(small, *other, sw, sh, ow, oh, n, exact)) << name << " frame " << frame;
            }
        }
    }
}

TEST_F(CImageSetTest, ColoursComeFromThePaletteAndFramesFollowTheValue) {
    const CImageSet& knob = set("knob4");
    test::ChosenPalette palette;
    palette.chosen["knob-arc"] = CColor{0, 0, 255, 255};
    CBitmap out;
    int64_t previous = -1;
    for (int32_t frame : {0, 32, 64, 96, knob.frameCount() - 1}) {
        ASSERT_EQ(knob.render(frame, 1.5, palette, 44, 44, out), nullptr);
        int64_t covered = 0;
        for (int32_t i = 0; i < out.width() * out.height(); ++i) {
            const uint32_t p = out.data()[i];
            ASSERT_EQ(p & 0x00ffff00u, 0u); // only blue was given
            covered += p & 0xff;
        }
        EXPECT_GT(covered, previous) << frame; // the value arc grows with the frame
        previous = covered;
    }
    // Every colour of the description was asked for, with its fallback.
    ASSERT_EQ(palette.asked.size(), knob.colors().size());
    for (const CImageSet::SColorEntry& entry : knob.colors())
        EXPECT_EQ(palette.asked.at(entry.name.toUtf8()), entry.fallback) << entry.name.toUtf8();
    EXPECT_EQ(palette.asked.at("knob-arc"), (CColor{0xec, 0x7b, 0x2b, 0xff}));

    // Frames of one state differ from those of another.
    CBitmap up, down;
    ASSERT_EQ(set("button").render(0, 1.0, fallback, 48, 18, up), nullptr);
    ASSERT_EQ(set("button").render(2, 1.0, fallback, 48, 18, down), nullptr);
    EXPECT_FALSE(std::equal(up.data(), up.data() + up.width() * up.height(), down.data()));
}

} // namespace
} // namespace qel
