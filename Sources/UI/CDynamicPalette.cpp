#include "UI/CDynamicPalette.h"

#include "UI/CDynamicColor.h"
#include "UI/CWindowRenderer.h"

namespace qel {

void CDynamicPalette::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addAttrHandler("palette-name", [](CObject& object, const CString&, const CAttrValue&) {
        auto& palette = static_cast<CDynamicPalette&>(object);
        return palette.state() >= Completed ? palette.onColorsChanged() : nullptr;
    });
}

CError* CDynamicPalette::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (children().empty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CDynamicPalette_initComplete_NoScheme Palette without colour schemes.");
    selectScheme();
    return nullptr;
}

void CDynamicPalette::selectScheme() {
    m_schemeName = getAttr("palette-name");
    m_scheme = childByName(m_schemeName);
    if (!m_scheme && !children().empty()) m_scheme = children().front();
}

const CDynamicColor* CDynamicPalette::find(const CObject* scheme, const CString& name) const {
    return scheme ? dynamic_cast<const CDynamicColor*>(scheme->childByName(name)) : nullptr;
}

CColor CDynamicPalette::color(const CString& name, const CColor& fallback) const {
    if (const CDynamicColor* found = find(m_scheme, name)) return found->color();
    if (!children().empty())
        if (const CDynamicColor* found = find(children().front(), name)) return found->color();
    return fallback;
}

CError* CDynamicPalette::onColorsChanged() {
    selectScheme();
    CWindowRenderer::invalidateAllWindows(root());
    return nullptr;
}

} // namespace qel
