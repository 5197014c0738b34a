#include "Audio/ParamFilters/CAudioParamFilterBypassGroupSoloDef.h"

#include "Audio/ParamFilters/CAudioParamFilterBypassGroupSolo.h"

namespace qel {

std::unique_ptr<CAudioParamFilter> CAudioParamFilterBypassGroupSoloDef::createFilter() const {
    return std::make_unique<CAudioParamFilterBypassGroupSolo>();
}

} // namespace qel
