#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// Plain numbers in the parameter's own units ("audio:cvt-real").
class CAudioParamConverterReal : public CAudioParamConverter {
public:
    CError* init() override;

    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;

    int32_t decimals() const { return m_decimals; }

private:
    int32_t m_decimals = 0;
};

} // namespace qel
