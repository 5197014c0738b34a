#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

#include "Core/CString.h"
#include "Other/CImageSet.h"

namespace qel {

// A typeface at one nominal size: glyph outlines drawn at the exact UI scale, advances and kerning
// pairs, loaded from a ".fnt" resource that qel-fontc compiles from a TrueType face. As an image
// set its frames are the glyphs.
//
// Every const call is safe from several threads at once: the glyph cache is filled under a lock. The
// editor renders text on its user-interface thread and hands the bitmaps to the render workers.
class CFont : public CImageSet {
public:
    // Resource format (little-endian):
    //   header: "QFNT", u16 version (1), u16 flags (0), f32 nominal size (the em, in view units),
    //           u16 units per em, i16 ascent, i16 descent (negative: below the baseline), i16 line gap
    //           (all three in font units), u32 glyph count G, u32 vertex count V, u32 kerning pair count K
    //   G glyphs: u32 code point, u16 advance (font units), u32 first vertex, u16 vertex count. Glyph 0
    //           is the missing-character box with code point 0; the others follow in strictly rising
    //           code point order.
    //   V vertices: u8 kind (1 move, 2 line, 3 quadratic curve), i16 x, y, i16 control x, y; font
    //           units, y up. Each glyph's outline starts with a move.
    //   K kerning pairs: u16 left glyph, u16 right glyph, i16 adjustment (font units), strictly rising
    //           by (left, right).
    static constexpr uint16_t kVersion = 1;

    struct SGlyph {
        uint32_t code = 0;
        uint16_t advance = 0;
        uint32_t firstVertex = 0;
        uint16_t vertexCount = 0;
        int16_t left = 0, bottom = 0, right = 0, top = 0; // outline bounds, found on load
    };
    struct SVertex {
        uint8_t kind = 0;
        int16_t x = 0, y = 0, cx = 0, cy = 0;
    };
    struct SKerning {
        uint16_t left = 0, right = 0;
        int16_t adjustment = 0;
    };

    // View units.
    double size() const { return m_size; }
    double ascent() const { return m_ascent * unit(); }
    // Distance below the baseline, positive.
    double descent() const { return -m_descent * unit(); }
    double lineHeight() const { return (m_ascent - m_descent + m_lineGap) * unit(); }
    // Width of text in view units, kerning included.
    double textWidth(const CString& text) const;
    // Renders text tinted with color into out: width ceil(textWidth * scale) + 2, height
    // ceil(lineHeight * scale), baseline at round(ascent * scale), pen starting at x = 1.
    void renderText(const CString& text, double scale, CColor color, CBitmap& out) const;

    // The glyph of a character (0, the missing-character box, when the font has none).
    uint16_t glyphIndex(uint32_t code) const;
    // Kerning between two glyphs, in font units.
    int32_t kerning(uint16_t left, uint16_t right) const;
    const std::vector<SGlyph>& glyphs() const { return m_glyphs; }

    // Frame i is glyph i, drawn in the palette colour "text" on a cell one advance wide.
    CError* render(int32_t frame, double scale, const CPalette& palette, double width, double height,
                   CBitmap& out) const override;

protected:
    CError* read(CPosInputStream& stream) override;

private:
    struct SGlyphMask {
        int32_t left = 0, top = 0, width = 0, height = 0; // relative to the pen on the baseline
        std::vector<uint8_t> coverage;
    };
    double unit() const { return m_size / m_unitsPerEm; }
    // The cached coverage of a glyph at a scale and a quarter-pixel pen phase.
    const SGlyphMask& glyphMask(uint16_t glyph, double scale, int32_t phase) const;
    void renderGlyphs(const std::vector<uint16_t>& glyphs, double scale, CColor color, int32_t width,
                      CBitmap& out) const;
    std::vector<uint16_t> layout(const CString& text) const;

    double m_size = 0;
    int32_t m_unitsPerEm = 1;
    int32_t m_ascent = 0, m_descent = 0, m_lineGap = 0;
    std::vector<SGlyph> m_glyphs;
    std::vector<SVertex> m_vertices;
    std::vector<SKerning> m_kerning;

    mutable std::mutex m_cacheLock;
    mutable std::map<std::tuple<double, uint16_t, int32_t>, SGlyphMask> m_cache;
};

} // namespace qel
