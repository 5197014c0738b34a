#pragma once

#include <cstdint>

#include "Audio/Params/CAudioParamData.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Core/CObject.h"

namespace qel {

// Turns one value position of a parameter into text and back, and maps it to and from the normalised
// range 0..1. Shared by every instance and immutable after set-up; the range comes from the info.
class CAudioParamConverter : public CObject {
public:
    // Display forms of valueToText.
    enum Form : int32_t { Normal = 0, Compact = 1, Short = 2, Precise = 3 };

    CError* initComplete() override;

    // Clamped into the range; a rejected text gives the minimum and ok false.
    virtual double textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                               bool* ok) const = 0;
    // Not clamped: reads the limits the range is made of.
    virtual double parseLimit(const CAudioParamInfo& info, int32_t position, const CString& text,
                              bool* ok) const = 0;
    virtual void valueToText(CString& text, const CAudioParamInfo& info, int32_t position, double value,
                             const CAudioParamData* pool, int32_t form) const = 0;
    virtual double fromNormalized(const CAudioParamInfo& info, int32_t position, double normalized) const;
    virtual double toNormalized(const CAudioParamInfo& info, int32_t position, double value) const;
    virtual double normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                                       double normalized) const;

    const CString& label() const { return m_label; }
    bool isDiscrete() const { return m_isDiscrete; }

    // The whole text as a decimal number: sign, digits, "." or "," and an exponent; nothing else.
    static bool parseNumber(const CString& text, double& value);
    // The whole text as an integer: optional "-", then decimal digits, or hexadecimal after "0x", "#", "$".
    static bool parseInteger(const CString& text, int64_t& value);
    // Fixed decimals, rounded half away from zero.
    static CString formatNumber(double value, int32_t decimals);
    static double roundHalfAway(double value);

protected:
    static double clampToRange(const CAudioParamInfo& info, int32_t position, double value);
    static void setOk(bool* ok, bool value) {
        if (ok) *ok = value;
    }

private:
    CString m_label;
    bool m_isDiscrete = false;
};

} // namespace qel
