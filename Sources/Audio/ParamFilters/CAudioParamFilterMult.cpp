#include "Audio/ParamFilters/CAudioParamFilterMult.h"

#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

void CAudioParamFilterMult::compute(int32_t group, int32_t element, std::vector<double>& results) {
    auto read = [&](const CAudioParam& param) {
        const int32_t size = param.info() ? param.info()->elementSize : 1;
        return param.values().hasData() ? param.values().getValue(group, element * size, 1.0) : 1.0;
    };
    const double a = read(*sources()[0]);
    const double b = read(*sources()[1]);
    results[0] = m_isDivision ? a / b : a * b;
}

} // namespace qel
