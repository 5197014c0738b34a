#pragma once

#include "Audio/ParamFilters/CAudioParamFilterDef.h"

namespace qel {

// Declares a filter computing the product of two sources.
class CAudioParamFilterMultDef : public CAudioParamFilterDef {
public:
    std::unique_ptr<CAudioParamFilter> createFilter() const override;
};

} // namespace qel
