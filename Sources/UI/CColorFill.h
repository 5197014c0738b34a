#pragma once

#include "UI/CView.h"

namespace qel {

// "ui:color-fill": the view's rectangle in one palette colour ("color", a palette name; "fallback"
// "#rrggbb[aa]" when the palette has none of that name).
class CColorFill : public CView {
public:
    void draw(CDrawContext& context) const override;

    static void initClass(CClassRecord& record);

protected:
    CError* prepare(double scale) override;

private:
    CColor m_color;
};

} // namespace qel
