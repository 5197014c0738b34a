#include "UI/CStyle.h"

namespace qel {

CError* CStyle::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (!hasAttr("style")) return nullptr;
    CError* error = findObjectByAttr("style", m_base);
    if (error) return QEL_PASS_CTX(error, fullName());
    for (const CStyle* base = m_base; base; base = base->m_base)
        if (base == this)
            return QEL_ERROR(fullName(), "@qelstr_CStyle_initComplete_Cycle Style '%1' is its own base.",
                             fullName());
    return nullptr;
}

CString CStyle::lookup(const CString& name) const {
    for (const CStyle* style = this; style; style = style->m_base)
        if (style->hasAttr(name)) return style->getAttr(name);
    return CString();
}

} // namespace qel
