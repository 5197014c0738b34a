#pragma once

#include "Audio/ParamFilters/CAudioParamFilterDef.h"

namespace qel {

// Declares a filter computing the group solo bypass flag.
class CAudioParamFilterBypassGroupSoloDef : public CAudioParamFilterDef {
public:
    std::unique_ptr<CAudioParamFilter> createFilter() const override;
};

} // namespace qel
