#include "Audio/Converters/CAudioParamConverterPercent.h"

namespace qel {

double CAudioParamConverterPercent::textToValue(const CAudioParamInfo& info, int32_t position,
                                                const CString& text, bool* ok) const {
    double percent = 0;
    bool parsed = parseNumber(text, percent);
    setOk(ok, parsed);
    return parsed ? clampToRange(info, position, percent * 0.01) : info.minValue(position);
}

double CAudioParamConverterPercent::parseLimit(const CAudioParamInfo&, int32_t, const CString& text,
                                               bool* ok) const {
    double percent = 0;
    bool parsed = parseNumber(text, percent);
    setOk(ok, parsed);
    return parsed ? percent * 0.01 : 0.0;
}

void CAudioParamConverterPercent::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                              const CAudioParamData*, int32_t form) const {
    text = formatNumber(value * 100, form == Compact ? 0 : 1);
}

double CAudioParamConverterPercent::normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                                                        double normalized) const {
    return fromNormalized(info, position, normalized) * 100;
}

} // namespace qel
