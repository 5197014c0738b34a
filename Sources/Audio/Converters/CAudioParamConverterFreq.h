#pragma once

#include "Audio/Converters/CAudioParamConverterLog.h"

namespace qel {

// Frequencies in Hz ("audio:cvt-freq"); texts may use "k" for kilohertz.
class CAudioParamConverterFreq : public CAudioParamConverterLog {
public:
    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;

private:
    static bool parseFrequency(const CString& text, double& value);
};

} // namespace qel
