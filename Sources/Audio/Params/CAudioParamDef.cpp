#include "Audio/Params/CAudioParamDef.h"

namespace qel {

CError* CAudioParamDef::init() {
    if (CError* error = CObject::init()) return QEL_PASS_CTX(error, fullName());
    CAudioParamInfo& info = m_info;
    info.elementSize = getAttrInt("element-size", 0);
    info.dataType = CAudioParamInfo::parseDataType(getAttr("data-type"));
    info.isSingleGroup = getAttrBool("is-single-group");
    info.isSingleElement = getAttrBool("is-single-element");
    info.isPersistent = getAttrBool("is-persistent");
    // Persistent parameters travel with the host state, not with presets; both kinds count as global.
    info.isStorable = !info.isPersistent && getAttrBool("is-storable");
    info.isGlobal = info.isPersistent || info.isStorable || getAttrBool("is-global");
    info.visualName = getAttr("visual-name");
    info.name = name();
    info.registryName = getAttr("param-registry");

    if (info.elementSize <= 0)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamDef_init_InvalidElementSize Invalid element size %1 specified.",
                         getAttr("element-size"));
    if (info.dataType != CAudioParamInfo::Float && info.elementSize > 1)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamDef_init_ElementSizeStr Invalid element size %1 for non-float "
                         "data specified.",
                         info.elementSize);
    if (CError* error = readDescription()) return QEL_PASS_CTX(error, fullName());
    if (info.defaults.groupCount() == 0)
        return QEL_ERROR(fullName(), "@qelstr_CAudioParamDef_init_NoDefValues No default values specified.");
    return nullptr;
}

CError* CAudioParamDef::readDescription() {
    CAudioParamInfo& info = m_info;
    info.converterNames.clear();
    info.converterNames.push_back(getAttr("converter"));
    for (int32_t k = 2; k <= info.elementSize; ++k)
        info.converterNames.push_back(getAttr("converter" + CString::fromInt(k)));
    QEL_CHECK(info.parseConverterNames(this));
    QEL_CHECK(info.parseMinMaxValues(getAttr("min-values"), getAttr("max-values")));
    QEL_CHECK(info.parseStateNames(getAttr("state-names")));
    QEL_CHECK(info.defaults.parseDefValues(getAttr("def-values"), info));
    info.flatDefaults = info.defaults.fallback();
    return nullptr;
}

} // namespace qel
