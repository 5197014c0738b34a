#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Logarithmic normalisation for positive ranges. A threshold in 0..1 pins the value 1.0 (unity, 0 dB)
// at that normalised position; a power other than 1 bends the lower part of the scale.
class CAudioParamConverterLog : public CAudioParamConverter {
public:
    CError* init() override;

    double fromNormalized(const CAudioParamInfo& info, int32_t position, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int32_t position, double value) const override;

    double scalePower() const { return m_scalePower; }
    double scaleThreshold() const { return m_scaleThreshold; }

private:
    bool isCurved() const;

    double m_scalePower = 1.0;
    double m_scaleThreshold = -1.0;
};

} // namespace qel
