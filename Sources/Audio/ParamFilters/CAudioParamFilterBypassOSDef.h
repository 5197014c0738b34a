#pragma once

#include "Audio/ParamFilters/CAudioParamFilterDef.h"

namespace qel {

// Declares a filter computing the oversampling bypass flag.
class CAudioParamFilterBypassOSDef : public CAudioParamFilterDef {
public:
    std::unique_ptr<CAudioParamFilter> createFilter() const override;
};

} // namespace qel
