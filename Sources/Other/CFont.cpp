#include "Other/CFont.h"

#include <algorithm>
#include <cmath>

#include "Other/CBinaryCursor.h"
#include "Other/CPath.h"

namespace qel {

namespace {

constexpr uint32_t kMagic = qelFourCC("QFNT");
constexpr uint32_t kMaxGlyphs = 65535;
constexpr int32_t kMaxGlyphPixels = 2048;
constexpr int32_t kPhases = 4;

CError* invalid(const CString& name, const char* what, size_t position) {
    return QEL_ERROR({}, "@qelstr_CFont_read_Invalid Invalid font data in '%1': %2 at byte %3.", name,
                     CString(what), uint64_t(position));
}

} // namespace

CError* CFont::read(CPosInputStream& stream) {
    CByteBuffer data;
    QEL_CHECK(readAll(stream, data));
    CBinaryCursor c(data.data(), data.size());
    auto fail = [&](const char* what) { return invalid(resourceName(), what, c.position()); };

    uint32_t magic = 0, glyphCount = 0, vertexCount = 0, kernCount = 0;
    uint16_t version = 0, flags = 0, unitsPerEm = 0;
    int16_t ascent = 0, descent = 0, lineGap = 0;
    float size = 0;
    if (!c.u32(magic) || magic != kMagic) return fail("not a font");
    if (!c.u16(version) || version != kVersion) return fail("unknown version");
    if (!c.u16(flags) || flags) return fail("unknown flags");
    if (!c.f32(size) || !(size > 0) || size > 256) return fail("bad size");
    if (!c.u16(unitsPerEm) || unitsPerEm < 16 || unitsPerEm > 16384) return fail("bad units per em");
    // Real faces stay well inside four ems; the limits keep damaged data from asking for huge bitmaps.
    if (!c.i16(ascent) || !c.i16(descent) || !c.i16(lineGap) || ascent <= 0 || descent > 0 || lineGap < 0 ||
        ascent - descent + lineGap > 4 * unitsPerEm)
        return fail("bad metrics");
    if (!c.u32(glyphCount) || !c.u32(vertexCount) || !c.u32(kernCount)) return fail("bad header");
    // Counts are checked against the bytes present before anything is allocated for them.
    const uint64_t needed = uint64_t(glyphCount) * 12 + uint64_t(vertexCount) * 9 + uint64_t(kernCount) * 6;
    if (glyphCount == 0 || glyphCount > kMaxGlyphs || needed != c.remaining()) return fail("bad counts");

    std::vector<SGlyph> glyphs(glyphCount);
    for (uint32_t i = 0; i < glyphCount; ++i) {
        SGlyph& g = glyphs[i];
        if (!c.u32(g.code) || !c.u16(g.advance) || !c.u32(g.firstVertex) || !c.u16(g.vertexCount) ||
            g.advance > 4 * unitsPerEm)
            return fail("bad glyph");
        if (i == 0 ? g.code != 0 : g.code <= glyphs[i - 1].code || g.code > 0x10ffff)
            return fail("bad code point order");
        if (uint64_t(g.firstVertex) + g.vertexCount > vertexCount) return fail("bad glyph outline");
    }
    std::vector<SVertex> vertices(vertexCount);
    for (SVertex& v : vertices) {
        if (!c.u8(v.kind) || v.kind < CPath::Move || v.kind > CPath::Quad || !c.i16(v.x) || !c.i16(v.y) ||
            !c.i16(v.cx) || !c.i16(v.cy))
            return fail("bad vertex");
    }
    for (SGlyph& g : glyphs) {
        if (g.vertexCount == 0) continue;
        if (vertices[g.firstVertex].kind != CPath::Move) return fail("bad glyph outline");
        g.left = g.bottom = INT16_MAX;
        g.right = g.top = INT16_MIN;
        for (uint32_t k = g.firstVertex; k < g.firstVertex + g.vertexCount; ++k) {
            const SVertex& v = vertices[k];
            g.left = std::min({g.left, v.x, v.kind == CPath::Quad ? v.cx : v.x});
            g.right = std::max({g.right, v.x, v.kind == CPath::Quad ? v.cx : v.x});
            g.bottom = std::min({g.bottom, v.y, v.kind == CPath::Quad ? v.cy : v.y});
            g.top = std::max({g.top, v.y, v.kind == CPath::Quad ? v.cy : v.y});
        }
    }
    std::vector<SKerning> kerning(kernCount);
    for (size_t i = 0; i < kerning.size(); ++i) {
        SKerning& k = kerning[i];
        if (!c.u16(k.left) || !c.u16(k.right) || !c.i16(k.adjustment)) return fail("bad kerning pair");
        if (k.left >= glyphCount || k.right >= glyphCount) return fail("bad kerning glyph");
        if (i && std::tie(k.left, k.right) <= std::tie(kerning[i - 1].left, kerning[i - 1].right))
            return fail("bad kerning order");
    }

    std::lock_guard lock(m_cacheLock);
    m_cache.clear();
    m_size = size;
    m_unitsPerEm = unitsPerEm;
    m_ascent = ascent;
    m_descent = descent;
    m_lineGap = lineGap;
    m_glyphs = std::move(glyphs);
    m_vertices = std::move(vertices);
    m_kerning = std::move(kerning);
    m_frameCount = int32_t(m_glyphs.size());
    m_width = m_size;
    m_height = lineHeight();
    m_stretchable = false;
    return nullptr;
}

uint16_t CFont::glyphIndex(uint32_t code) const {
    if (m_glyphs.size() < 2 || code == 0) return 0;
    const auto it = std::lower_bound(m_glyphs.begin() + 1, m_glyphs.end(), code,
                                     [](const SGlyph& g, uint32_t value) { return g.code < value; });
    return it != m_glyphs.end() && it->code == code ? uint16_t(it - m_glyphs.begin()) : 0;
}

int32_t CFont::kerning(uint16_t left, uint16_t right) const {
    const auto it = std::lower_bound(m_kerning.begin(), m_kerning.end(), std::pair(left, right),
                                     [](const SKerning& k, const std::pair<uint16_t, uint16_t>& key) {
                                         return std::pair(k.left, k.right) < key;
                                     });
    return it != m_kerning.end() && it->left == left && it->right == right ? it->adjustment : 0;
}

std::vector<uint16_t> CFont::layout(const CString& text) const {
    std::vector<uint16_t> glyphs;
    glyphs.reserve(text.length());
    for (size_t i = 0; i < text.length(); ++i) {
        uint32_t code = text.at(i);
        // 16-bit strings keep characters beyond U+FFFF as surrogate pairs.
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < text.length() && text.at(i + 1) >= 0xdc00 &&
            text.at(i + 1) < 0xe000) {
            code = 0x10000 + ((code - 0xd800) << 10) + (text.at(i + 1) - 0xdc00);
            ++i;
        }
        glyphs.push_back(glyphIndex(code));
    }
    return glyphs;
}

double CFont::textWidth(const CString& text) const {
    if (m_glyphs.empty()) return 0;
    const std::vector<uint16_t> glyphs = layout(text);
    int64_t units = 0;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (i) units += kerning(glyphs[i - 1], glyphs[i]);
        units += m_glyphs[glyphs[i]].advance;
    }
    return double(units) * unit();
}

const CFont::SGlyphMask& CFont::glyphMask(uint16_t glyph, double scale, int32_t phase) const {
    std::lock_guard lock(m_cacheLock);
    auto [it, added] = m_cache.try_emplace({scale, glyph, phase});
    SGlyphMask& mask = it->second;
    if (!added) return mask;
    const SGlyph& g = m_glyphs[glyph];
    if (g.vertexCount == 0) return mask;
    const double k = unit() * scale, shift = double(phase) / kPhases;
    // One spare pixel around the outline for anti-aliasing; y goes down from the baseline.
    mask.left = int32_t(std::floor(g.left * k + shift)) - 1;
    mask.top = int32_t(std::floor(-g.top * k)) - 1;
    mask.width = std::min(int32_t(std::ceil(g.right * k + shift)) + 1 - mask.left, kMaxGlyphPixels);
    mask.height = std::min(int32_t(std::ceil(-g.bottom * k)) + 1 - mask.top, kMaxGlyphPixels);
    CPath path;
    for (uint32_t i = g.firstVertex; i < g.firstVertex + g.vertexCount; ++i) {
        const SVertex& v = m_vertices[i];
        if (v.kind == CPath::Move)
            path.moveTo(v.x, -v.y);
        else if (v.kind == CPath::Line)
            path.lineTo(v.x, -v.y);
        else
            path.quadTo(v.cx, -v.cy, v.x, -v.y);
    }
    path.rasterize(k, shift, 0.0, {mask.left, mask.top, mask.width, mask.height}, mask.coverage);
    return mask;
}

void CFont::renderGlyphs(const std::vector<uint16_t>& glyphs, double scale, CColor color, int32_t width,
                         CBitmap& out) const {
    const int32_t height = int32_t(std::ceil(lineHeight() * scale));
    const int32_t baseline = int32_t(std::lround(ascent() * scale));
    std::vector<uint8_t> line(size_t(std::max(width, 0)) * size_t(std::max(height, 0)), 0);
    double pen = 1.0;
    const double k = unit() * scale;
    for (size_t i = 0; i < glyphs.size(); ++i) {
        if (i) pen += kerning(glyphs[i - 1], glyphs[i]) * k;
        int32_t x = int32_t(std::floor(pen));
        int32_t phase = int32_t(std::lround((pen - x) * kPhases));
        if (phase == kPhases) {
            ++x;
            phase = 0;
        }
        const SGlyphMask& mask = glyphMask(glyphs[i], scale, phase);
        for (int32_t my = 0; my < mask.height; ++my) {
            const int32_t ly = baseline + mask.top + my;
            if (ly < 0 || ly >= height) continue;
            for (int32_t mx = 0; mx < mask.width; ++mx) {
                const int32_t lx = x + mask.left + mx;
                if (lx < 0 || lx >= width) continue;
                uint8_t& cell = line[size_t(ly) * size_t(width) + size_t(lx)];
                cell = uint8_t(
                    std::min(255, cell + mask.coverage[size_t(my) * size_t(mask.width) + size_t(mx)]));
            }
        }
        pen += m_glyphs[glyphs[i]].advance * k;
    }
    out.resize(width, height, 0);
    out.blendMask(line.data(), width, height, 0, 0, color.premultiplied(), out.bounds());
}

void CFont::renderText(const CString& text, double scale, CColor color, CBitmap& out) const {
    if (m_glyphs.empty() || !(scale > 0) || !std::isfinite(scale)) {
        out.resize(0, 0);
        return;
    }
    const int32_t width = int32_t(std::ceil(textWidth(text) * scale - 1e-9)) + 2;
    renderGlyphs(layout(text), scale, color, width, out);
}

CError* CFont::render(int32_t frame, double scale, const CPalette& palette, double, double,
                      CBitmap& out) const {
    if (frame < 0 || frame >= int32_t(m_glyphs.size()))
        return QEL_ERROR({}, "@qelstr_CImageSet_render_Frame Frame %1 is not in 0..%2.", frame,
                         int32_t(m_glyphs.size()) - 1);
    if (!(scale > 0) || !(scale <= 16))
        return QEL_ERROR({}, "@qelstr_CImageSet_render_Size Cannot draw %1 x %2 at scale %3.",
                         CString::fromDouble(size(), 2), CString::fromDouble(lineHeight(), 2),
                         CString::fromDouble(scale, 2));
    const int32_t width = int32_t(std::ceil(m_glyphs[size_t(frame)].advance * unit() * scale - 1e-9)) + 2;
    renderGlyphs({uint16_t(frame)}, scale, palette.color("text", CColor{255, 255, 255, 255}), width, out);
    return nullptr;
}

} // namespace qel
