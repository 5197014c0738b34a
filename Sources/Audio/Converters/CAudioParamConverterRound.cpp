#include "Audio/Converters/CAudioParamConverterRound.h"

namespace qel {

double CAudioParamConverterRound::fromNormalized(const CAudioParamInfo& info, int32_t position,
                                                 double normalized) const {
    return roundHalfAway(CAudioParamConverter::fromNormalized(info, position, normalized));
}

} // namespace qel
