#pragma once

#include "Audio/ParamFilters/CAudioParamFilter.h"

namespace qel {

// The source mirrored about the middle of its normalised range (+6 dB gives -6 dB), or 1 / source.
class CAudioParamFilterInvert : public CAudioParamFilter {
public:
    explicit CAudioParamFilterInvert(bool isDivision) : m_isDivision(isDivision) {}

    size_t minSources() const override { return 1; }
    size_t minDestinations() const override { return 1; }

protected:
    void compute(int32_t group, int32_t element, std::vector<double>& results) override;

private:
    bool m_isDivision;
};

} // namespace qel
