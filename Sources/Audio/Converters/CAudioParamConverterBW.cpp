#include "Audio/Converters/CAudioParamConverterBW.h"

#include <cmath>

namespace qel {

double CAudioParamConverterBW::textToValue(const CAudioParamInfo& info, int32_t position, const CString& text,
                                           bool* ok) const {
    double value = 0;
    bool parsed = parseNumber(text, value);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, value) : info.minValue(position);
}

double CAudioParamConverterBW::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                          bool* ok) const {
    double value = 0;
    bool parsed = parseNumber(text, value);
    setOk(ok, parsed);
    // Never a zero width when the text is unreadable.
    return parsed ? value : 0.001;
}

void CAudioParamConverterBW::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                         const CAudioParamData*, int32_t form) const {
    text = formatNumber(value, form == Precise ? 3 : 2);
}

double CAudioParamConverterBW::fromNormalized(const CAudioParamInfo& info, int32_t position,
                                              double normalized) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    return lo + (hi - lo) * normalized * normalized;
}

double CAudioParamConverterBW::toNormalized(const CAudioParamInfo& info, int32_t position,
                                            double value) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    return std::sqrt(std::fabs((value - lo) / (hi - lo)));
}

} // namespace qel
