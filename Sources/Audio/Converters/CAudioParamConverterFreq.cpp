#include "Audio/Converters/CAudioParamConverterFreq.h"

namespace qel {

bool CAudioParamConverterFreq::parseFrequency(const CString& text, double& value) {
    bool kilo = text.endsWith("k") || text.endsWith("K");
    if (!parseNumber(kilo ? text.substr(0, text.length() - 1) : text, value)) return false;
    if (kilo) value *= 1000;
    return true;
}

double CAudioParamConverterFreq::textToValue(const CAudioParamInfo& info, int32_t position,
                                             const CString& text, bool* ok) const {
    double value = 0;
    bool parsed = parseFrequency(text, value);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, value) : info.minValue(position);
}

double CAudioParamConverterFreq::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                            bool* ok) const {
    double value = 0;
    bool parsed = parseFrequency(text, value);
    setOk(ok, parsed);
    return parsed ? value : 0.0;
}

void CAudioParamConverterFreq::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                           const CAudioParamData*, int32_t form) const {
    if (form == Precise) {
        text = formatNumber(value, 2);
        return;
    }
    double tenths = roundHalfAway(10 * value);
    if (form == Compact) {
        if (tenths < 100)
            text = formatNumber(value, 1);
        else if (tenths < 10000)
            text = formatNumber(value, 0);
        else
            text = formatNumber(value * 0.001, tenths < 100000 ? 1 : 0) + "k";
        return;
    }
    if (tenths < 1000)
        text = formatNumber(value, 1);
    else if (roundHalfAway(value) < 1000)
        text = formatNumber(value, 0);
    else
        text = formatNumber(value * 0.001, roundHalfAway(0.1 * value) >= 1000 ? 1 : 2) + "k";
}

} // namespace qel
