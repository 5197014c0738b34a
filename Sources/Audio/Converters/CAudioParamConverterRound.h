#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Converters of whole-number values: normalised positions snap to the nearest integer.
class CAudioParamConverterRound : public CAudioParamConverter {
public:
    double fromNormalized(const CAudioParamInfo& info, int32_t position, double normalized) const override;
};

} // namespace qel
