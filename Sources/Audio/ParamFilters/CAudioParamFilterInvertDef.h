#pragma once

#include "Audio/ParamFilters/CAudioParamFilterDef.h"

namespace qel {

// Declares a filter computing the mirrored or inverted source.
class CAudioParamFilterInvertDef : public CAudioParamFilterDef {
public:
    std::unique_ptr<CAudioParamFilter> createFilter() const override;
};

} // namespace qel
