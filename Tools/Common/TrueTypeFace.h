#pragma once

#include <string>

#include "Other/StbTrueType.h"

namespace qel {

// A TrueType file opened with stb_truetype for the build tools; the bytes stay owned here.
class CTrueTypeFace {
public:
    bool open(std::string bytes, std::string& failure) {
        m_bytes = std::move(bytes);
        const auto* data = reinterpret_cast<const unsigned char*>(m_bytes.data());
        const int offset = stbtt_GetFontOffsetForIndex(data, 0);
        if (offset < 0 || !stbtt_InitFont(&m_info, data, offset)) {
            failure = "not a TrueType font";
            return false;
        }
        return true;
    }
    const stbtt_fontinfo& info() const { return m_info; }
    int unitsPerEm() const { return int(1.0f / stbtt_ScaleForMappingEmToPixels(&m_info, 1.0f) + 0.5f); }

private:
    std::string m_bytes;
    stbtt_fontinfo m_info{};
};

} // namespace qel
