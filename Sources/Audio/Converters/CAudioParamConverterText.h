#pragma once

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

// String parameters ("audio:cvt-text"): the text lives in the storage's pool, the value is its index.
class CAudioParamConverterText : public CAudioParamConverter {
public:
    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
};

} // namespace qel
