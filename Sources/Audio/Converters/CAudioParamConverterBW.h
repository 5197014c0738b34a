#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Bandwidths in octaves ("audio:cvt-bw"), on a square-law scale so narrow settings get more travel.
class CAudioParamConverterBW : public CAudioParamConverter {
public:
    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
    double fromNormalized(const CAudioParamInfo& info, int32_t position, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int32_t position, double value) const override;
};

} // namespace qel
