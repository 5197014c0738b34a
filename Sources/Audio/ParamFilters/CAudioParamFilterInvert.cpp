#include "Audio/ParamFilters/CAudioParamFilterInvert.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

void CAudioParamFilterInvert::compute(int32_t group, int32_t element, std::vector<double>& results) {
    const CAudioParam& source = *sources()[0];
    const CAudioParamInfo* info = source.info();
    const int32_t size = info ? info->elementSize : 1;
    const double v = source.values().getValue(group, element * size, 0.0);
    if (m_isDivision) {
        results[0] = 1.0 / v;
        return;
    }
    const CAudioParamConverter* converter = info ? info->converter(0) : nullptr;
    if (!converter) return;
    results[0] = converter->fromNormalized(*info, 0, 1.0 - converter->toNormalized(*info, 0, v));
}

} // namespace qel
