#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Times ("audio:cvt-time"): values in seconds × 1/scale of the text unit (scale 0.001 shows ms).
class CAudioParamConverterTime : public CAudioParamConverter {
public:
    CError* init() override;

    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
    double fromNormalized(const CAudioParamInfo& info, int32_t position, double normalized) const override;
    double toNormalized(const CAudioParamInfo& info, int32_t position, double value) const override;
    double normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                               double normalized) const override;

private:
    bool m_isLog = false;
    double m_scale = 0;
    bool m_isExact = false;
    int32_t m_isPrecise = 0;
};

} // namespace qel
