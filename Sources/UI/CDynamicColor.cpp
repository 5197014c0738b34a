#include "UI/CDynamicColor.h"

#include "UI/CDynamicPalette.h"

namespace qel {

void CDynamicColor::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addAttrHandler("color", [](CObject& object, const CString&, const CAttrValue&) -> CError* {
        auto& colour = static_cast<CDynamicColor&>(object);
        if (colour.state() < Initialized) return nullptr;
        QEL_CHECK(colour.readColor());
        for (CObject* up = colour.parent(); up; up = up->parent())
            if (auto* palette = dynamic_cast<CDynamicPalette*>(up)) return palette->onColorsChanged();
        return nullptr;
    });
}

CError* CDynamicColor::init() {
    QEL_CHECK(CObject::init());
    return readColor();
}

CError* CDynamicColor::readColor() {
    const CString text = getAttr("color");
    if (!m_color.parse(text))
        return QEL_ERROR(fullName(), "@qelstr_CDynamicColor_init_BadColor Invalid colour '%1'.", text);
    return nullptr;
}

} // namespace qel
