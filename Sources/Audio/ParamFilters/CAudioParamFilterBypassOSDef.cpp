#include "Audio/ParamFilters/CAudioParamFilterBypassOSDef.h"

#include "Audio/ParamFilters/CAudioParamFilterBypassOS.h"

namespace qel {

std::unique_ptr<CAudioParamFilter> CAudioParamFilterBypassOSDef::createFilter() const {
    return std::make_unique<CAudioParamFilterBypassOS>();
}

} // namespace qel
