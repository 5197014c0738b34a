#pragma once

#include <vector>

#include "Audio/Converters/CAudioParamConverterRound.h"

namespace qel {

// State indices shown by name ("audio:cvt-enum"). Names come from the converter's own "state-names"
// and, after those, from the parameter's state names.
class CAudioParamConverterEnum : public CAudioParamConverterRound {
public:
    CError* init() override;

    double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                       bool* ok) const override;
    double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                      bool* ok) const override;
    void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                     const CAudioParamData* pool, int32_t form) const override;
    virtual void readStateNames();

    const std::vector<CString>& stateNames() const { return m_stateNames; }
    const std::vector<CString>& stateShortNames() const { return m_stateShortNames; }

private:
    // The base index plus the number of the state the text names; false when it names none.
    bool lookupName(const CAudioParamInfo& info, const CString& text, int64_t base, int64_t& value) const;

    std::vector<CString> m_stateNames;
    std::vector<CString> m_stateShortNames;
};

} // namespace qel
