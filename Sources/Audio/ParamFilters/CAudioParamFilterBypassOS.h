#pragma once

#include "Audio/ParamFilters/CAudioParamFilter.h"

namespace qel {

// 1 when no oversampling is to run: the "1X" setting, or "Auto" while the host is not rendering
// offline.
class CAudioParamFilterBypassOS : public CAudioParamFilter {
public:
    size_t minSources() const override { return 2; }
    size_t minDestinations() const override { return 1; }
    void onSourceChange(CAudioParam& source, const SAudioParamChange& change,
                        const CAudioParam::CAccess* access) override;
};

} // namespace qel
