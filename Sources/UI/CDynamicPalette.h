#pragma once

#include "Core/CObject.h"
#include "Other/CPalette.h"

namespace qel {

class CDynamicColor;

// "ui:dynamic-palette": the colour schemes of the editor, one child object per scheme holding its
// "ui:dynamic-color"s. "palette-name" picks the scheme; a colour the scheme lacks comes from the
// first scheme, then from the caller's fallback. Changing scheme or colour redraws every window.
class CDynamicPalette : public CObject, public CPalette {
public:
    CError* initComplete() override;
    CColor color(const CString& name, const CColor& fallback) const override;
    const CString& schemeName() const { return m_schemeName; }
    CError* onColorsChanged();

    static void initClass(CClassRecord& record);

private:
    void selectScheme();
    const CDynamicColor* find(const CObject* scheme, const CString& name) const;

    CString m_schemeName;
    const CObject* m_scheme = nullptr;
};

} // namespace qel
