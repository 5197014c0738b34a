#include "Audio/ParamFilters/CAudioParamFilterDef.h"

#include "Audio/ParamFilters/CAudioParamFilter.h"

namespace qel {

CError* CAudioParamFilterDef::init() {
    QEL_CHECK(CObject::init());
    m_sources = getAttr("src").split(',');
    if (m_sources.empty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamFilterDef_init_NoSrcParams No source parameters defined.");
    m_destinations = getAttr("dst").split(',');
    if (m_destinations.empty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamFilterDef_init_NoDstParams No destination parameters defined.");
    return nullptr;
}

} // namespace qel
