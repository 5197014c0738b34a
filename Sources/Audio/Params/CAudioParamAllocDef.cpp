#include "Audio/Params/CAudioParamAllocDef.h"

namespace qel {

CError* CAudioParamAllocDef::init() {
    if (CError* error = CObject::init()) return QEL_PASS_CTX(error, fullName());
    m_paramName = getAttr("param-name");
    m_index = getAttrInt("index");
    m_useAllGroups = getAttrBool("use-all-groups");
    m_useAllElements = getAttrBool("use-all-elements");
    m_isSmoothUpdate = getAttrBool("is-smooth-update");
    if (m_paramName.isEmpty())
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamAllocDef_init_InvalidParamName Invalid parameter name specified.");
    if (m_index < 0)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamAllocDef_init_InvalidIndex Invalid parameter's '%1' index '%2' "
                         "specified.",
                         m_paramName, m_index);
    return nullptr;
}

} // namespace qel
