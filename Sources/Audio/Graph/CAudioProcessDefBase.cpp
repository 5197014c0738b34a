#include "Audio/Graph/CAudioProcessDefBase.h"

#include <algorithm>

#include "Audio/ParamFilters/CAudioParamRemapDef.h"

namespace qel {

CError* CAudioProcessDefBase::init() {
    QEL_CHECK(CObject::init());
    m_isStacked = getAttrBool("is-stacked");
    m_stackParam = getAttr("stack-param");
    m_stackIndexShift = getAttrInt("stack-index-shift");
    if (m_stackIndexShift < 0)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioProcessDefBase_init_InvalidStackIndexShift Invalid stack index shift value "
            "'%1' specified.",
            getAttr("stack-index-shift"));
    m_isMultiband = getAttrBool("is-multiband");
    m_isSmoothUpdate = getAttrBool("is-smooth-update");
    m_isPrototype = getAttrBool("is-prototype");
    m_isOutOfOrder = getAttrBool("is-outoforder");
    m_bypassStateId = hasAttr("bypass-state-id") ? getAttrInt("bypass-state-id", -1) : -1;
    const CString combo = getAttr("input-combo-mode");
    m_inputCombo = combo == "avg"   ? EInputCombo::Average
                   : combo == "max" ? EInputCombo::Max
                                    : EInputCombo::Sum;
    m_xfadeLength = std::max(getAttrDouble("xfade-length", 0.0), 0.0001);

    // The script is written like the text of a remap definition.
    m_scriptRemaps.clear();
    const CString script = getAttr("script");
    if (!script.isEmpty()) QEL_CHECK(CAudioParamRemapDef::parsePairs(script, fullName(), m_scriptRemaps));
    return nullptr;
}

std::vector<std::pair<CString, CString>> CAudioProcessDefBase::remaps() const {
    std::vector<std::pair<CString, CString>> all = m_scriptRemaps;
    for (CObject* child : children())
        if (auto* remap = dynamic_cast<const CAudioParamRemapDef*>(child))
            all.insert(all.end(), remap->remaps().begin(), remap->remaps().end());
    return all;
}

} // namespace qel
