#pragma once

#include "Audio/ParamFilters/CAudioParamFilter.h"

namespace qel {

// 1 unless some channel group is soloed.
class CAudioParamFilterBypassGroupSolo : public CAudioParamFilter {
public:
    size_t minSources() const override { return 1; }
    size_t minDestinations() const override { return 1; }
    void onSourceChange(CAudioParam& source, const SAudioParamChange& change,
                        const CAudioParam::CAccess* access) override;
};

} // namespace qel
