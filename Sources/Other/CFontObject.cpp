#include "Other/CFontObject.h"

namespace qel {

const CFont* CFontObject::font(const CString& style) const {
    const auto it = m_fonts.find(style);
    return it == m_fonts.end() ? nullptr : it->second.get();
}

CError* CFontObject::initComplete() {
    m_fonts.clear();
    for (CObject* child : children()) {
        if (!child->getAttrBool("is-font-style")) continue;
        const CString file = child->getAttr("file");
        if (file.isEmpty())
            return QEL_ERROR(fullName(), "@qelstr_CFontObject_init_NoFile Font style '%1' names no file.",
                             child->name());
        auto font = std::make_unique<CFont>();
        if (CError* error = font->load(file)) return QEL_PASS_CTX(error, fullName());
        m_fonts[child->name()] = std::move(font);
    }
    return CObject::initComplete();
}

} // namespace qel
