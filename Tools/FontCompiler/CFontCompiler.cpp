#include "FontCompiler/CFontCompiler.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "Common/ByteWriter.h"
#include "Common/TrueTypeFace.h"
#include "Other/CFont.h"

namespace qel {

namespace {

std::string hex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", code);
    return text;
}

} // namespace

const std::vector<uint32_t>& CFontCompiler::characterSet() {
    static const std::vector<uint32_t> set = [] {
        std::vector<uint32_t> codes;
        for (uint32_t c = 0x20; c <= 0x7e; ++c)
            codes.push_back(c);
        for (uint32_t c = 0xa0; c <= 0xff; ++c)
            codes.push_back(c);
        // Greek mu and omega, dashes, quotes, bullet, ellipsis, per mille, euro, trade mark, arrows,
        // minus, infinity, approximately, less/greater or equal, triangles, check mark.
        for (uint32_t c :
             {0x3a9u,  0x3bcu,  0x2013u, 0x2014u, 0x2018u, 0x2019u, 0x201cu, 0x201du, 0x2022u, 0x2026u,
              0x2030u, 0x20acu, 0x2122u, 0x2190u, 0x2191u, 0x2192u, 0x2193u, 0x2194u, 0x2195u, 0x2212u,
              0x221eu, 0x2248u, 0x2264u, 0x2265u, 0x25b2u, 0x25b6u, 0x25bcu, 0x25c0u, 0x2713u})
            codes.push_back(c);
        return codes;
    }();
    return set;
}

bool CFontCompiler::parseDescription(const std::string& text, SDescription& description,
                                     std::string& failure) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    description = {};
    while (std::getline(lines, line)) {
        ++number;
        std::istringstream words(line);
        std::string key, value, extra;
        if (!(words >> key) || key[0] == '#') continue;
        if (!(words >> value) || (words >> extra)) {
            failure = "line " + std::to_string(number) + ": expected \"" + key + " VALUE\"";
            return false;
        }
        if (key == "face") {
            description.face = value;
        } else if (key == "size") {
            char* end = nullptr;
            description.size = std::strtod(value.c_str(), &end);
            if (*end || !(description.size >= 4) || description.size > 128) {
                failure = "line " + std::to_string(number) + ": size must be a number from 4 to 128";
                return false;
            }
        } else {
            failure = "line " + std::to_string(number) + ": unknown key \"" + key + "\"";
            return false;
        }
    }
    if (description.face.empty() || description.size == 0) {
        failure = "a description needs a face and a size";
        return false;
    }
    return true;
}

bool CFontCompiler::compile(const std::string& trueType, double size, std::vector<uint8_t>& output,
                            std::string& failure) {
    CTrueTypeFace face;
    if (!face.open(trueType, failure)) return false;
    const stbtt_fontinfo& info = face.info();

    std::vector<int> sourceGlyphs{0};
    std::vector<uint32_t> codes{0};
    for (uint32_t code : characterSet()) {
        const int glyph = stbtt_FindGlyphIndex(&info, int(code));
        if (glyph == 0) {
            failure = "the face has no glyph for " + hex(code);
            return false;
        }
        sourceGlyphs.push_back(glyph);
        codes.push_back(code);
    }

    CByteWriter glyphs, vertices, kerning;
    uint32_t vertexCount = 0, kernCount = 0;
    for (size_t i = 0; i < sourceGlyphs.size(); ++i) {
        stbtt_vertex* shape = nullptr;
        const int count = stbtt_GetGlyphShape(&info, sourceGlyphs[i], &shape);
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&info, sourceGlyphs[i], &advance, &bearing);
        glyphs.u32(codes[i]);
        glyphs.u16(uint16_t(advance));
        glyphs.u32(vertexCount);
        glyphs.u16(uint16_t(count));
        for (int k = 0; k < count; ++k) {
            const stbtt_vertex& v = shape[k];
            if (v.type == STBTT_vcubic) {
                stbtt_FreeShape(&info, shape);
                failure = "cubic outlines are not supported (" + hex(codes[i]) + ")";
                return false;
            }
            vertices.u8(v.type);
            vertices.i16(int16_t(std::lround(v.x)));
            vertices.i16(int16_t(std::lround(v.y)));
            vertices.i16(int16_t(std::lround(v.cx)));
            vertices.i16(int16_t(std::lround(v.cy)));
        }
        vertexCount += uint32_t(count);
        stbtt_FreeShape(&info, shape);
    }
    // Pairs in rising (left, right) order, as the reader's search expects.
    for (size_t left = 0; left < sourceGlyphs.size(); ++left)
        for (size_t right = 0; right < sourceGlyphs.size(); ++right) {
            const int adjustment = stbtt_GetGlyphKernAdvance(&info, sourceGlyphs[left], sourceGlyphs[right]);
            if (adjustment == 0) continue;
            kerning.u16(uint16_t(left));
            kerning.u16(uint16_t(right));
            kerning.i16(int16_t(adjustment));
            ++kernCount;
        }

    int ascent = 0, descent = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &lineGap);
    CByteWriter out;
    out.text("QFNT");
    out.u16(CFont::kVersion);
    out.u16(0);
    out.f32(float(size));
    out.u16(uint16_t(face.unitsPerEm()));
    out.i16(int16_t(ascent));
    out.i16(int16_t(descent));
    out.i16(int16_t(lineGap));
    out.u32(uint32_t(sourceGlyphs.size()));
    out.u32(vertexCount);
    out.u32(kernCount);
    output = std::move(out.bytes);
    output.insert(output.end(), glyphs.bytes.begin(), glyphs.bytes.end());
    output.insert(output.end(), vertices.bytes.begin(), vertices.bytes.end());
    output.insert(output.end(), kerning.bytes.begin(), kerning.bytes.end());
    return true;
}

} // namespace qel
