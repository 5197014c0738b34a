#pragma once

#include "Audio/ParamFilters/CAudioParamFilter.h"

namespace qel {

// The product (or quotient) of two sources.
class CAudioParamFilterMult : public CAudioParamFilter {
public:
    explicit CAudioParamFilterMult(bool isDivision) : m_isDivision(isDivision) {}

    size_t minSources() const override { return 2; }
    size_t minDestinations() const override { return 1; }

protected:
    void compute(int32_t group, int32_t element, std::vector<double>& results) override;

private:
    bool m_isDivision;
};

} // namespace qel
