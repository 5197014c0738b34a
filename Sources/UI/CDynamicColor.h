#pragma once

#include "Core/CObject.h"
#include "Other/CColor.h"

namespace qel {

// "ui:dynamic-color": one named colour of a colour scheme ("color" = "#rrggbb" or "#rrggbbaa").
class CDynamicColor : public CObject {
public:
    CError* init() override;
    const CColor& color() const { return m_color; }

    static void initClass(CClassRecord& record);

private:
    CError* readColor();

    CColor m_color;
};

} // namespace qel
