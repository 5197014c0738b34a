#pragma once

#include "Core/CString.h"
#include "Other/CColor.h"

namespace qel {

// Named colours of the active scheme; image sets ask for each colour by name with the colour their
// description falls back to.
class CPalette {
public:
    virtual ~CPalette() = default;
    virtual CColor color(const CString& name, const CColor& fallback) const = 0;
};

} // namespace qel
