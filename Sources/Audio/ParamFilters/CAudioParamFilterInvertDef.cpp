#include "Audio/ParamFilters/CAudioParamFilterInvertDef.h"

#include "Audio/ParamFilters/CAudioParamFilterInvert.h"

namespace qel {

std::unique_ptr<CAudioParamFilter> CAudioParamFilterInvertDef::createFilter() const {
    return std::make_unique<CAudioParamFilterInvert>(getAttrBool("is-division"));
}

} // namespace qel
