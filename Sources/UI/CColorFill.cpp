#include "UI/CColorFill.h"

namespace qel {

void CColorFill::initClass(CClassRecord& record) {
    CView::initClass(record);
    record.addAttrHandler("color", [](CObject& object, const CString&, const CAttrValue&) -> CError* {
        static_cast<CColorFill&>(object).invalidate();
        return nullptr;
    });
}

CError* CColorFill::prepare(double) {
    CColor fallback;
    const CString fallbackText = styleAttr("fallback");
    if (!fallbackText.isEmpty() && !fallback.parse(fallbackText))
        return QEL_ERROR(fullName(), "@qelstr_CColorFill_prepare_BadColor Invalid colour '%1'.",
                         fallbackText);
    m_color = paletteColor(styleAttr("color"), fallback);
    return nullptr;
}

void CColorFill::draw(CDrawContext& context) const {
    context.fill(frame(), m_color);
}

} // namespace qel
