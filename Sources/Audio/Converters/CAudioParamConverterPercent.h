#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Fractions shown as percent ("audio:cvt-percent").
class CAudioParamConverterPercent : public CAudioParamConverter {
public:
    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
    double normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                               double normalized) const override;
};

} // namespace qel
