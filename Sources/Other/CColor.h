#pragma once

#include <cstdint>

#include "Core/CString.h"

namespace qel {

// A straight (not premultiplied) RGBA colour, as palettes and descriptions write it.
struct CColor {
    uint8_t r = 0, g = 0, b = 0, a = 255;

    // "#rrggbb" or "#rrggbbaa"; false (and the colour untouched) for anything else.
    bool parse(const CString& text);
    // The colour as one premultiplied BGRA pixel of a back buffer.
    uint32_t premultiplied() const;
    bool operator==(const CColor& other) const = default;
};

} // namespace qel
