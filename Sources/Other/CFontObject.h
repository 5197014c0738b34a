#pragma once

#include <map>
#include <memory>

#include "Core/CObject.h"
#include "Other/CFont.h"

namespace qel {

// "font": one font family. Its style children ("regular", "bold", "superscript") carry
// "is-font-style" and the "file" of their ".fnt" resource, loaded when the family is initialised.
class CFontObject : public CObject {
public:
    // The font of a style; null when the family has no such style.
    const CFont* font(const CString& style) const;

    CError* initComplete() override;

private:
    std::map<CString, std::unique_ptr<CFont>> m_fonts;
};

} // namespace qel
