#include "Other/ParamValueBlock.h"

#include <cmath>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

CError* qelWriteParamValueBlock(COutputStream& stream, const CAudioParam& param, int32_t group) {
    return qelWriteParamValueBlock(stream, param.values(), group, group);
}

CError* qelWriteParamValueBlock(COutputStream& stream, const CAudioParamStorage& values, int32_t sourceGroup,
                                int32_t group) {
    QEL_CHECK(stream.writeValue(group));
    QEL_CHECK(values.save(stream, sourceGroup));
    return nullptr;
}

CError* qelReadParamValueBlock(CInputStream& stream, const CAudioParamInfo& info, int32_t& group,
                               CAudioParamStorage& values) {
    QEL_CHECK(stream.readValue(group));
    values.setShape(info.elementSize, info.dataType, info.isSingleGroup, info.isSingleElement);
    QEL_CHECK(values.load(stream));
    if (info.dataType == CAudioParamInfo::Float) {
        for (int32_t g = 0; g < values.groupCount(); ++g) {
            const double* data = values.groupValues(g);
            const int32_t count = values.elementCount(g) * info.elementSize;
            for (int32_t i = 0; i < count; ++i)
                if (!std::isfinite(data[i]))
                    return QEL_ERROR({},
                                     "@qelstr_ParamValueBlock_read_NotANumber Value %1 of group %2 is not a "
                                     "number.",
                                     i, g);
        }
        values.clamp(info);
    }
    return nullptr;
}

} // namespace qel
