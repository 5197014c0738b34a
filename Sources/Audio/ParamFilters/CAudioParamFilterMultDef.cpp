#include "Audio/ParamFilters/CAudioParamFilterMultDef.h"

#include "Audio/ParamFilters/CAudioParamFilterMult.h"

namespace qel {

std::unique_ptr<CAudioParamFilter> CAudioParamFilterMultDef::createFilter() const {
    return std::make_unique<CAudioParamFilterMult>(getAttrBool("is-division"));
}

} // namespace qel
