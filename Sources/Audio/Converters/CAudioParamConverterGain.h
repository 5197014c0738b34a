#pragma once

#include "Audio/Converters/CAudioParamConverterLog.h"

namespace qel {

// Linear amplitude factors shown in decibels ("audio:cvt-gain").
class CAudioParamConverterGain : public CAudioParamConverterLog {
public:
    // The amplitude factor of a level in decibels, as gain values are stored.
    static double fromDecibels(double decibels);

    CError* init() override;

    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
    double normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                               double normalized) const override;

    int32_t decimals() const { return m_decimals; }

private:
    int32_t m_decimals = 0;
};

} // namespace qel
